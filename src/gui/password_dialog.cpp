#include "gui/password_dialog.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

namespace orv {
namespace {

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

QLineEdit* PasswordEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setEchoMode(QLineEdit::Password);
  edit->setMaxLength(kPasswordEditChars);
  return edit;
}

// Overwrites the characters an edit holds and clears it. The QString the
// edit hands out shares the edit's own buffer, so the password's UTF-16
// text is overwritten where it lives rather than left for the allocator
// (every copy that shares it is overwritten too).
void WipeEdit(QLineEdit& edit) {
  QString text = edit.text();
  if (!text.isEmpty() && text.data_ptr().isMutable()) {  // never a literal's read-only text
    auto* chars = const_cast<QChar*>(text.constData());
    std::memset(static_cast<void*>(chars), 0, static_cast<size_t>(text.size()) * sizeof(QChar));
    asm volatile("" : : "r"(chars) : "memory");
  }
  edit.clear();
}

void ErrorBox(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox::critical(owner, title, text);
}

}  // namespace

PasswordBytes PasswordFromEdit(const QLineEdit& edit) {
  QByteArray bytes = edit.text().toUtf8();
  PasswordBytes password(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
  bytes.fill('\0');
  return password;
}

PasswordDialog::PasswordDialog(const PasswordRequest& request, QWidget* parent)
    : QDialog(parent), mode_(request.mode) {
  complaint_ = [this](const QString& title, const QString& text) { ErrorBox(this, title, text); };
  setWindowTitle(mode_ == PasswordMode::kEnter ? "Enter Password" : "Password");
  Build(request);
}

void PasswordDialog::Build(const PasswordRequest& request) {
  auto* form = new QFormLayout;
  if (mode_ == PasswordMode::kChange) {
    old_password_ = PasswordEdit(this);
    form->addRow("Old Password:", old_password_);
  }
  password_ = PasswordEdit(this);
  form->addRow("Password:", password_);
  if (mode_ != PasswordMode::kEnter) {
    confirmation_ = PasswordEdit(this);
    confirmation_label_ = new QLabel("Confirmation:", this);
    form->addRow(confirmation_label_, confirmation_);
    user_info_ = new QLineEdit(Text(request.user_info), this);
    user_info_->setMaxLength(kUserInfoEditChars);
    form->addRow("User Info:", user_info_);
  }
  if (mode_ == PasswordMode::kGenerate) {
    key_file_ = new QLineEdit(Text(request.key_file), this);
    auto* browse = new QPushButton("...", this);
    connect(browse, &QPushButton::clicked, this, &PasswordDialog::Browse);
    auto* row = new QHBoxLayout;
    row->addWidget(key_file_);
    row->addWidget(browse);
    form->addRow("File Name:", row);
  }
  show_symbols_ = new QCheckBox("Show symbols", this);
  connect(show_symbols_, &QCheckBox::toggled, this, &PasswordDialog::ShowSymbols);
  form->addRow(show_symbols_);
  if (mode_ == PasswordMode::kEnter) {
    remember_ = new QCheckBox("Remember", this);
    remember_->setChecked(request.remember);
    form->addRow(remember_);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &PasswordDialog::TryAccept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  (old_password_ ? old_password_ : password_)->setFocus();
}

void PasswordDialog::ShowSymbols(bool shown) {
  password_->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
  if (!confirmation_) return;
  confirmation_->setVisible(!shown);
  confirmation_label_->setVisible(!shown);
}

bool PasswordDialog::ConfirmationShown() const { return confirmation_ && !show_symbols_->isChecked(); }

void PasswordDialog::Browse() {
  QFileDialog chooser(this, QString(), key_file_->text(), "ORV files (*.orv)");
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(QFileDialog::AnyFile);  // a new name in a folder that exists
  chooser.selectFile(key_file_->text());
  if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
    key_file_->setText(chooser.selectedFiles().first());
}

// The core's rule for a password being set (not empty; the confirmation,
// where shown, the same); entering one is the person's choice (an old key
// may have an empty one).
void PasswordDialog::TryAccept() {
  if (mode_ != PasswordMode::kEnter) {
    PasswordAnswer typed;
    typed.password = PasswordFromEdit(*password_);
    typed.confirmation = PasswordFromEdit(*confirmation_);
    typed.confirmation_shown = ConfirmationShown();
    const std::string_view refusal = NewPasswordRefusal(typed);
    if (!refusal.empty()) {
      complaint_("Error", QString::fromUtf8(refusal.data(), static_cast<qsizetype>(refusal.size())));
      if (!typed.password.empty()) {  // they differ: both are typed again
        password_->clear();
        confirmation_->clear();
      }
      password_->setFocus();
      return;
    }
  }
  accept();
}

PasswordAnswer PasswordDialog::TakeAnswer() {
  PasswordAnswer answer;
  answer.accepted = result() == QDialog::Accepted;
  answer.password = PasswordFromEdit(*password_);
  if (confirmation_) answer.confirmation = PasswordFromEdit(*confirmation_);
  answer.confirmation_shown = ConfirmationShown();
  if (old_password_) answer.old_password = PasswordFromEdit(*old_password_);
  if (remember_) answer.remember = remember_->isChecked();
  if (user_info_) answer.user_info = Utf8(user_info_->text());
  if (key_file_) answer.key_file = Utf8(key_file_->text());
  for (QLineEdit* edit : {password_, confirmation_, old_password_})
    if (edit) WipeEdit(*edit);
  return answer;
}

}  // namespace orv
