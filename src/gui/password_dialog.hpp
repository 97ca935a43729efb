// The three password dialogs: "Enter Password" (password and "Remember"),
// and "Password" for a change (old password, the new one twice, user info)
// and for a new key (the password twice, user info, key file name). The
// passwords are taken as UTF-8 bytes and cut to 127 bytes, the same way
// whenever a password is set or entered. With both password fields shown,
// OK checks that they match: if not, it says "Passwords are different",
// clears both and stays open. "Show symbols" shows the password in the
// clear and hides the confirmation, which is then not compared.
#pragma once

#include <functional>

#include <QDialog>

#include "app/ui_port.hpp"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

// Longest texts the edits take, in characters.
inline constexpr int kPasswordEditChars = 128;
inline constexpr int kUserInfoEditChars = 446;

class PasswordDialog final : public QDialog {
 public:
  explicit PasswordDialog(const PasswordRequest& request, QWidget* parent = nullptr);

  // What the dialog tells the person when OK is refused (title, text). A
  // modal error box unless replaced.
  using Complaint = std::function<void(const QString& title, const QString& text)>;
  void SetComplaint(Complaint complaint) { complaint_ = std::move(complaint); }

  // The answer as the person left the dialog: accepted after OK. The
  // password fields are read and cleared.
  PasswordAnswer TakeAnswer();

  // The widgets, for the tests that drive the dialog; null when the mode
  // has no such field.
  QLineEdit* password_edit() const { return password_; }
  QLineEdit* confirmation_edit() const { return confirmation_; }
  QLineEdit* old_password_edit() const { return old_password_; }
  QLineEdit* user_info_edit() const { return user_info_; }
  QLineEdit* key_file_edit() const { return key_file_; }
  QCheckBox* show_symbols_box() const { return show_symbols_; }
  QCheckBox* remember_box() const { return remember_; }
  QPushButton* ok_button() const { return ok_; }

 private:
  void Build(const PasswordRequest& request);
  void ShowSymbols(bool shown);
  void Browse();
  void TryAccept();
  bool ConfirmationShown() const;

  PasswordMode mode_;
  Complaint complaint_;
  QLineEdit* old_password_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLabel* confirmation_label_ = nullptr;
  QLineEdit* confirmation_ = nullptr;
  QLineEdit* user_info_ = nullptr;
  QLineEdit* key_file_ = nullptr;
  QCheckBox* show_symbols_ = nullptr;
  QCheckBox* remember_ = nullptr;
  QPushButton* ok_ = nullptr;
};

// The password an edit holds, as UTF-8 bytes cut to 127; the copies made
// on the way are overwritten.
PasswordBytes PasswordFromEdit(const QLineEdit& edit);

}  // namespace orv
