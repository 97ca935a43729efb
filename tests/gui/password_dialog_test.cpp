#include "gui/password_dialog.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <utility>
#include <vector>

namespace orv {
namespace {

std::string Bytes(const PasswordBytes& p) { return std::string(reinterpret_cast<const char*>(p.data()), p.size()); }

// A dialog whose complaints are recorded instead of shown.
struct DialogFixture {
  explicit DialogFixture(PasswordMode mode, std::string user_info = "", std::string key_file = "") {
    PasswordRequest request;
    request.mode = mode;
    request.remember = true;
    request.user_info = std::move(user_info);
    request.key_file = std::move(key_file);
    dialog = std::make_unique<PasswordDialog>(request);
    dialog->SetComplaint([this](const QString& title, const QString& text) {
      complaints.emplace_back(title.toStdString(), text.toStdString());
    });
    dialog->open();
  }
  std::unique_ptr<PasswordDialog> dialog;
  std::vector<std::pair<std::string, std::string>> complaints;
};

TEST(PasswordDialogTest, DifferentConfirmationIsRefusedAndBothFieldsCleared) {
  DialogFixture f(PasswordMode::kGenerate, "Alice", "/tmp/alice.orv");
  EXPECT_EQ(f.dialog->windowTitle(), "Password");
  f.dialog->password_edit()->setText("secret");
  f.dialog->confirmation_edit()->setText("secreT");
  f.dialog->ok_button()->click();
  EXPECT_TRUE(f.dialog->isVisible());
  ASSERT_EQ(f.complaints.size(), 1u);
  EXPECT_EQ(f.complaints[0], std::make_pair(std::string("Error"), std::string("Passwords are different")));
  EXPECT_TRUE(f.dialog->password_edit()->text().isEmpty());
  EXPECT_TRUE(f.dialog->confirmation_edit()->text().isEmpty());

  f.dialog->password_edit()->setText("secret");
  f.dialog->confirmation_edit()->setText("secret");
  f.dialog->ok_button()->click();
  EXPECT_EQ(f.dialog->result(), QDialog::Accepted);
  const PasswordAnswer answer = f.dialog->TakeAnswer();
  EXPECT_TRUE(answer.accepted);
  EXPECT_EQ(Bytes(answer.password), "secret");
  EXPECT_TRUE(ConfirmationMatches(answer));
  EXPECT_EQ(answer.user_info, "Alice");
  EXPECT_EQ(answer.key_file, "/tmp/alice.orv");
  EXPECT_EQ(f.complaints.size(), 1u);
  EXPECT_TRUE(f.dialog->password_edit()->text().isEmpty());  // taken, not left behind
}

// A password being set may not be empty; the dialog says why and stays.
TEST(PasswordDialogTest, AnEmptyNewPasswordIsRefused) {
  for (PasswordMode mode : {PasswordMode::kGenerate, PasswordMode::kChange}) {
    DialogFixture f(mode, "Alice", "/tmp/alice.orv");
    f.dialog->ok_button()->click();
    EXPECT_TRUE(f.dialog->isVisible());
    ASSERT_EQ(f.complaints.size(), 1u);
    EXPECT_EQ(f.complaints[0], std::make_pair(std::string("Error"), std::string("The password can't be empty")));
  }
  DialogFixture enter(PasswordMode::kEnter);  // entering one is the person's choice (an old key may have it)
  enter.dialog->ok_button()->click();
  EXPECT_EQ(enter.dialog->result(), QDialog::Accepted);
}

// The text the edit held is overwritten where it lives once taken.
TEST(PasswordDialogTest, TakenPasswordTextIsOverwritten) {
  DialogFixture f(PasswordMode::kEnter);
  f.dialog->password_edit()->setText("hunter2");
  const QString peek = f.dialog->password_edit()->text();  // shares the edit's buffer
  f.dialog->ok_button()->click();
  const PasswordAnswer answer = f.dialog->TakeAnswer();
  EXPECT_EQ(Bytes(answer.password), "hunter2");
  ASSERT_EQ(peek.size(), 7);
  for (QChar c : peek) EXPECT_EQ(c.unicode(), 0);
}

TEST(PasswordDialogTest, ShowSymbolsHidesTheConfirmationWhichIsThenNotCompared) {
  DialogFixture f(PasswordMode::kChange, "Bob");
  f.dialog->old_password_edit()->setText("old");
  f.dialog->password_edit()->setText("new one");
  f.dialog->show_symbols_box()->setChecked(true);
  EXPECT_EQ(f.dialog->password_edit()->echoMode(), QLineEdit::Normal);
  EXPECT_TRUE(f.dialog->confirmation_edit()->isHidden());
  f.dialog->ok_button()->click();
  EXPECT_TRUE(f.complaints.empty());
  const PasswordAnswer answer = f.dialog->TakeAnswer();
  EXPECT_TRUE(answer.accepted);
  EXPECT_FALSE(answer.confirmation_shown);
  EXPECT_TRUE(ConfirmationMatches(answer));
  EXPECT_EQ(Bytes(answer.old_password), "old");
  EXPECT_EQ(Bytes(answer.password), "new one");
  EXPECT_EQ(answer.user_info, "Bob");

  f.dialog->show_symbols_box()->setChecked(false);
  EXPECT_EQ(f.dialog->password_edit()->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(f.dialog->confirmation_edit()->isHidden());
}

TEST(PasswordDialogTest, EnterPasswordHasRememberAndNoConfirmation) {
  DialogFixture f(PasswordMode::kEnter);
  EXPECT_EQ(f.dialog->windowTitle(), "Enter Password");
  EXPECT_EQ(f.dialog->confirmation_edit(), nullptr);
  EXPECT_EQ(f.dialog->old_password_edit(), nullptr);
  EXPECT_EQ(f.dialog->key_file_edit(), nullptr);
  ASSERT_NE(f.dialog->remember_box(), nullptr);
  EXPECT_TRUE(f.dialog->remember_box()->isChecked());
  f.dialog->remember_box()->setChecked(false);
  f.dialog->password_edit()->setText("pw");
  f.dialog->ok_button()->click();
  const PasswordAnswer answer = f.dialog->TakeAnswer();
  EXPECT_TRUE(answer.accepted);
  EXPECT_FALSE(answer.remember);
  EXPECT_EQ(Bytes(answer.password), "pw");
}

TEST(PasswordDialogTest, CancelAnswersNotAccepted) {
  DialogFixture f(PasswordMode::kEnter);
  f.dialog->password_edit()->setText("pw");
  f.dialog->reject();
  EXPECT_FALSE(f.dialog->TakeAnswer().accepted);
}

// The edits take 128 characters; the password is the first 127 bytes of
// them, whether it is being set (with its confirmation) or entered.
TEST(PasswordDialogTest, PasswordsAreCutTo127Bytes) {
  struct Case {
    QString typed;
    size_t bytes;
  };
  const std::vector<Case> cases = {
      {QString(6, 'a'), 6},
      {QString(127, 'b'), 127},
      {QString(128, 'c'), 127},
      {QString(300, 'd'), 127},                // the edit keeps 128 characters of it
      {QString(100, QChar(0x00E9)), 127},      // two bytes each: cut inside the 64th
  };
  for (const Case& c : cases) {
    for (PasswordMode mode : {PasswordMode::kEnter, PasswordMode::kGenerate}) {
      DialogFixture f(mode, "", "/tmp/k.orv");
      // The edits get copies of their own: taking the answer overwrites
      // the text where it lives, in every string that shares it.
      f.dialog->password_edit()->setText(QString(c.typed.constData(), c.typed.size()));
      EXPECT_LE(f.dialog->password_edit()->text().size(), kPasswordEditChars);
      if (f.dialog->confirmation_edit())
        f.dialog->confirmation_edit()->setText(QString(c.typed.constData(), c.typed.size()));
      f.dialog->ok_button()->click();
      EXPECT_TRUE(f.complaints.empty());
      const PasswordAnswer answer = f.dialog->TakeAnswer();
      ASSERT_TRUE(answer.accepted);
      EXPECT_EQ(answer.password.size(), c.bytes) << c.typed.size() << " characters";
      const QByteArray utf8 = c.typed.left(kPasswordEditChars).toUtf8().left(static_cast<qsizetype>(c.bytes));
      EXPECT_EQ(Bytes(answer.password), utf8.toStdString());
      EXPECT_TRUE(ConfirmationMatches(answer));
    }
  }
}

// Two entries that differ only after the 127th byte are the same password.
TEST(PasswordDialogTest, ConfirmationComparedOnTheCutPasswords) {
  DialogFixture f(PasswordMode::kGenerate, "", "/tmp/k.orv");
  f.dialog->password_edit()->setText(QString(127, 'x') + "1");
  f.dialog->confirmation_edit()->setText(QString(127, 'x') + "2");
  f.dialog->ok_button()->click();
  EXPECT_TRUE(f.complaints.empty());
  EXPECT_TRUE(f.dialog->TakeAnswer().accepted);
}

}  // namespace
}  // namespace orv
