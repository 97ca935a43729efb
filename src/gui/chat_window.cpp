#include "gui/chat_window.hpp"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "chat/call_control.hpp"
#include "gui/icons.hpp"

namespace orv {
namespace {

constexpr int kButtonSize = 32;
// Right edges of the first three status parts; the fourth takes the rest.
constexpr int kStatusEdges[3] = {100, 130, 370};
const QColor kIncomingColour(0, 0, 128);

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QTextCharFormat LineFormat(LineKind kind) {
  QTextCharFormat format;
  format.setFontItalic(kind == LineKind::kPending);
  format.setFontWeight(kind == LineKind::kIncoming ? QFont::Bold : QFont::Normal);
  if (kind == LineKind::kIncoming) format.setForeground(kIncomingColour);
  return format;
}

QSlider* LevelSlider(QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(0, 100);
  return slider;
}

}  // namespace

ChatWindow::ChatWindow(std::unique_ptr<ChatActions> actions, QWidget* parent)
    : QWidget(parent, Qt::Window), owned_actions_(std::move(actions)), actions_(*owned_actions_) {
  Build();
  setMinimumSize(kChatMinWidth, kChatMinHeight);
  resize(420, 420);
}

void ChatWindow::Build() {
  setWindowIcon(ProgramIcon());
  auto* menu_bar = new QMenuBar(this);
  QMenu* menu = menu_bar->addMenu("&Chat");
  connect(menu->addAction("&Transfer file"), &QAction::triggered, this, [this] { actions_.TransferFile(); });
  connect(menu->addAction("&Add to favorite list"), &QAction::triggered, this, [this] { actions_.AddToFavorites(); });

  history_ = new QTextEdit(this);
  history_->setReadOnly(true);
  history_->setMinimumHeight(16);
  input_ = new QPlainTextEdit(this);
  input_->setFixedHeight(kChatInputHeight);
  input_->installEventFilter(this);
  connect(input_, &QPlainTextEdit::textChanged, this, [this] { actions_.InputChanged(); });

  auto* status_bar = new QWidget(this);
  auto* status_row = new QHBoxLayout(status_bar);
  status_row->setContentsMargins(2, 0, 2, 0);
  for (int part = 0; part < 4; ++part) {
    status_[part] = new QLabel(status_bar);
    status_[part]->setFrameShape(QFrame::StyledPanel);
    // The last part takes the rest of the width and clips what does not
    // fit, as status bar parts do: a long text never pushes it over the
    // parts before it.
    if (part == 3) {
      status_[part]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
      status_[part]->setMinimumWidth(1);
    }
    if (part < 3) status_[part]->setFixedWidth(kStatusEdges[part] - (part == 0 ? 0 : kStatusEdges[part - 1]));
    status_row->addWidget(status_[part], part == 3 ? 1 : 0);
  }

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menu_bar);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(4);
  layout->addWidget(history_, 1);
  layout->addWidget(input_);
  layout->addSpacing(2);
  layout->addWidget(BuildControls());
  layout->addWidget(status_bar);
  ShowCallState(kCallIdle);
  ShowStatus(StatusBar{});
  input_->setFocus();
}

QWidget* ChatWindow::BuildControls() {
  auto* row = new QWidget(this);
  auto* controls = new QHBoxLayout(row);
  controls->setContentsMargins(0, 0, 0, 0);
  call_ = new QToolButton(row);
  mute_ = new QToolButton(row);
  for (QToolButton* button : {call_, mute_}) {
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setIconSize(QSize(kButtonSize - 6, kButtonSize - 6));
    controls->addWidget(button);
  }
  connect(call_, &QToolButton::clicked, this, [this] { actions_.PressCallButton(); });
  connect(mute_, &QToolButton::clicked, this, [this] { actions_.ToggleMute(); });
  volume_ = LevelSlider(row);
  mic_ = LevelSlider(row);
  controls->addWidget(new QLabel("Vol.", row));
  controls->addWidget(volume_, 1);
  controls->addWidget(new QLabel("Mic.", row));
  controls->addWidget(mic_, 1);
  connect(volume_, &QSlider::valueChanged, this, [this](int value) { actions_.SetVolume(value); });
  connect(mic_, &QSlider::valueChanged, this, [this](int value) { actions_.SetMicLevel(value); });
  return row;
}

void ChatWindow::AppendLine(const HistoryLine& line) {
  QTextCursor cursor(history_->document());
  cursor.movePosition(QTextCursor::End);
  const int start = cursor.position();
  cursor.insertText(Text(line.line), LineFormat(line.kind));
  if (line.kind == LineKind::kPending && line.line_id != 0) pending_[line.line_id] = {start, cursor.position()};
  history_->verticalScrollBar()->setValue(history_->verticalScrollBar()->maximum());
}

void ChatWindow::MarkDelivered(uint32_t line_id) {
  auto line = pending_.find(line_id);
  if (line == pending_.end()) return;
  QTextCursor cursor(history_->document());
  cursor.setPosition(line->second.first);
  cursor.setPosition(line->second.second, QTextCursor::KeepAnchor);
  cursor.setCharFormat(LineFormat(LineKind::kDelivered));
  pending_.erase(line);
}

std::pair<int, int> ChatWindow::PendingRange(uint32_t line_id) const {
  auto line = pending_.find(line_id);
  return line == pending_.end() ? std::pair<int, int>{-1, -1} : line->second;
}

void ChatWindow::ShowStatus(const StatusBar& status) {
  status_[0]->setText(Text(status.call_state));
  status_[1]->setText(Text(status.typing));
  status_[2]->setText(Text(status.session));
  status_[3]->setText(Text(status.counters));
  switch (status.mute) {
    case MuteButton::kUnavailable:
      mute_->setIcon(ChatButtonIcon(ButtonIcon::kMicUnavailable));
      mute_->setToolTip("Not in a call");
      break;
    case MuteButton::kMuted:
      mute_->setIcon(ChatButtonIcon(ButtonIcon::kMicMuted));
      mute_->setToolTip("Microphone muted");
      break;
    case MuteButton::kLive:
      mute_->setIcon(ChatButtonIcon(ButtonIcon::kMicLive));
      mute_->setToolTip("Microphone on");
      break;
  }
}

// The call button hangs up from "DIALING" on, and calls below it.
void ChatWindow::ShowCallState(uint32_t state) {
  const bool hang_up = state >= kCallDialing;
  call_->setIcon(ChatButtonIcon(hang_up ? ButtonIcon::kHangUp : ButtonIcon::kCall));
  call_->setToolTip(hang_up ? "Hang up" : "Call");
}

void ChatWindow::SetLevels(int volume, int mic_level) {
  const QSignalBlocker quiet_volume(volume_);
  const QSignalBlocker quiet_mic(mic_);
  volume_->setValue(volume);
  mic_->setValue(mic_level);
}

void ChatWindow::SendInput() {
  const QString text = input_->toPlainText();
  if (text.isEmpty()) return;
  actions_.SendInput(text);
  const QSignalBlocker quiet(input_);  // clearing is no typing
  input_->clear();
  input_->setFocus();
}

bool ChatWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == input_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !(key->modifiers() & Qt::ShiftModifier)) {
      SendInput();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void ChatWindow::CloseQuietly() {
  closing_ = true;
  close();
}

// The close box ends the conversation; the window goes when the
// conversation says it closed (at once, through CloseQuietly).
void ChatWindow::closeEvent(QCloseEvent* event) {
  if (!closing_) actions_.CloseRequested();
  if (closing_)
    event->accept();
  else
    event->ignore();
}

}  // namespace orv
