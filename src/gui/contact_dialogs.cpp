#include "gui/contact_dialogs.hpp"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <QVBoxLayout>

namespace orv {
namespace {

QString Text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QLabel* Value(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(Text(text), parent);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

UserInfoDialog::UserInfoDialog(const UserInformation& info, QWidget* parent) : QDialog(parent) {
  setWindowTitle("User Info");
  const UserInfoTexts texts = MakeUserInfoTexts(info);
  auto* form = new QFormLayout;
  form->addRow("Name:", Value(texts.name, this));
  form->addRow("Original name:", Value(texts.original_name, this));
  form->addRow("ID:", Value(texts.id, this));
  form->addRow("Address:", Value(texts.address, this));
  form->addRow("Authorized:", Value(texts.authorized, this));
  form->addRow("Status:", Value(texts.status, this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

ConnectionRequestDialog::ConnectionRequestDialog(const ConnectionRequest& request, std::function<void()> accepted,
                                                 std::function<void()> dismissed, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle("Connection Request");
  auto* text = new QLabel(Text(request.text), this);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton("Ok", QDialogButtonBox::AcceptRole);
  buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(this, &QDialog::finished, this, [accepted = std::move(accepted), dismissed = std::move(dismissed)](int result) {
    if (result == QDialog::Accepted)
      accepted();
    else
      dismissed();
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(buttons);
}

std::optional<std::string> AskRenameDialog(QWidget* parent, std::string_view original_name, std::string_view name) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Rename");
  auto* original = new QLabel(Text(original_name), &dialog);
  auto* edit = new QLineEdit(Text(name), &dialog);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(original);
  layout->addWidget(edit);
  layout->addWidget(buttons);
  edit->setFocus();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return edit->text().toUtf8().toStdString();
}

ConnectToDialog::ConnectToDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Connect to IP:port");
  address_ = new QLineEdit(this);
  const QRegularExpression quad(R"(^(\d{1,3})(\.\d{1,3}){0,3}$)");
  address_->setValidator(new QRegularExpressionValidator(quad, address_));
  address_->setPlaceholderText("0.0.0.0");
  port_ = new QLineEdit(this);
  port_->setValidator(new QIntValidator(0, 65535, port_));
  auto* connect_button = new QPushButton("Connect", this);
  connect_button->setDefault(true);
  connect(connect_button, &QPushButton::clicked, this, &QDialog::accept);
  auto* form = new QFormLayout;
  form->addRow("IP:", address_);
  form->addRow("Port:", port_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(connect_button);
}

uint32_t ConnectToDialog::Address() const { return ParseIpv4Text(address_->text()); }

uint16_t ConnectToDialog::Port() const {
  bool ok = false;
  const uint value = port_->text().toUInt(&ok);
  return ok && value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

uint32_t ParseIpv4Text(const QString& text) {
  const QStringList parts = text.trimmed().split('.');
  if (parts.size() != 4) return 0;
  uint32_t address = 0;
  for (const QString& part : parts) {
    bool ok = false;
    const uint value = part.toUInt(&ok);
    if (!ok || value > 255) return 0;
    address = (address << 8) | value;
  }
  return address;
}

}  // namespace orv
