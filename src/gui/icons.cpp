#include "gui/icons.hpp"

#include <QPainter>
#include <QPainterPath>

#include "app/main_window/contact_rows.hpp"

namespace orv {
namespace {

// A round status light with an optional mark in it.
QPixmap StatusLight(const QColor& fill, const QString& mark) {
  QPixmap picture(64, 64);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(fill.darker(150), 3));
  painter.setBrush(fill);
  painter.drawEllipse(QRectF(6, 6, 52, 52));
  if (!mark.isEmpty()) {
    QFont font = painter.font();
    font.setPixelSize(36);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(6, 6, 52, 52), Qt::AlignCenter, mark);
  }
  return picture;
}

QPixmap TelephonePicture(int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 64.0, size / 64.0);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1f, 0x4e, 0x8c));
  painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  // A handset: two ear pieces joined by a bent grip.
  QPainterPath handset;
  handset.moveTo(14, 40);
  handset.cubicTo(14, 18, 50, 18, 50, 40);
  painter.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(handset);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRectF(7, 36, 15, 10), 3, 3);
  painter.drawRoundedRect(QRectF(42, 36, 15, 10), 3, 3);
  return picture;
}

}  // namespace

StatusIcons::StatusIcons() {
  icons_[kImageOnline] = QIcon::fromTheme("user-available", QIcon(StatusLight(QColor(0x2e, 0xa0, 0x43), "")));
  icons_[kImageNotConnected] = QIcon::fromTheme("user-offline", QIcon(StatusLight(QColor(0x9a, 0x9a, 0x9a), "")));
  icons_[kImageNotAuthorized] = QIcon::fromTheme("user-invisible", QIcon(StatusLight(QColor(0xc6, 0x3c, 0x2f), "?")));
  icons_[kImageAway] = QIcon::fromTheme("user-away", QIcon(StatusLight(QColor(0xe8, 0xa8, 0x17), "")));
}

const QIcon& StatusIcons::Icon(int index) const {
  if (index < 0 || index >= static_cast<int>(icons_.size())) return icons_[kImageNotAuthorized];
  return icons_[static_cast<size_t>(index)];
}

// Installed, the program's icon is the one its menu entry shows (the
// "orv" icon of the icon theme); the drawn one stands in until then.
QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(TelephonePicture(size));
  return QIcon::fromTheme("orv", icon);
}

QPixmap AboutPicture() { return TelephonePicture(128); }

QIcon ChatButtonIcon(ButtonIcon which) {
  switch (which) {
    case ButtonIcon::kCall: return QIcon::fromTheme("call-start", QIcon(StatusLight(QColor(0x2e, 0xa0, 0x43), "C")));
    case ButtonIcon::kHangUp: return QIcon::fromTheme("call-stop", QIcon(StatusLight(QColor(0xc6, 0x3c, 0x2f), "H")));
    case ButtonIcon::kMicUnavailable:
      return QIcon::fromTheme("microphone-sensitivity-low", QIcon(StatusLight(QColor(0x9a, 0x9a, 0x9a), "M")));
    case ButtonIcon::kMicMuted:
      return QIcon::fromTheme("microphone-sensitivity-muted", QIcon(StatusLight(QColor(0xc6, 0x3c, 0x2f), "M")));
    case ButtonIcon::kMicLive:
      return QIcon::fromTheme("audio-input-microphone", QIcon(StatusLight(QColor(0x2e, 0xa0, 0x43), "M")));
  }
  return {};
}

}  // namespace orv
