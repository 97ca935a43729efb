#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cstring>
#include <string>

#include "app/app_context.hpp"
#include "app/key_generation.hpp"
#include "app/key_loading.hpp"
#include "app/password_change.hpp"
#include "app/password_service.hpp"
#include "app/scripted_ui_port.hpp"
#include "identity/key_file.hpp"
#include "identity/password_cache.hpp"
#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Alice;
using test::LogCapture;
using test::ReadFileBytes;
using test::TempDir;

PasswordAnswer Enter(const std::string& pw, bool remember = false) {
  PasswordAnswer a;
  a.accepted = true;
  a.password.Assign(pw);
  a.remember = remember;
  return a;
}

PasswordAnswer Generate(const std::string& pw, const std::string& confirm, const std::string& info,
                        const std::string& file) {
  PasswordAnswer a = Enter(pw);
  a.confirmation.Assign(confirm);
  a.user_info = info;
  a.key_file = file;
  return a;
}

bool Contains(std::span<const uint8_t> region, const uint8_t* needle, size_t n) {
  return std::search(region.begin(), region.end(), needle, needle + n) != region.end();
}

class IdentityFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_ = AppContext::Create(ui_);
    ASSERT_NE(ctx_, nullptr);
    ctx_->key() = Alice().record;
    passwords_ = std::make_unique<PasswordService>(*ctx_, ui_, [this] { ++closed_; });
  }
  ScriptedUiPort ui_;
  LogCapture log_;
  std::unique_ptr<AppContext> ctx_;
  std::unique_ptr<PasswordService> passwords_;
  int closed_ = 0;
};

TEST_F(IdentityFlow, NoSecretByteRemainsAfterTheWipe) {
  const std::string pw = Alice().password;
  passwords_->Cache(PasswordBytes(pw));
  uint8_t x_bytes[16];
  std::memcpy(x_bytes, ctx_->key().encrypted_x, sizeof x_bytes);
  uint8_t p_bytes[16];
  std::memcpy(p_bytes, ctx_->key().certificate.p + 40, sizeof p_bytes);
  ASSERT_TRUE(Contains(ctx_->region(), x_bytes, sizeof x_bytes));
  ctx_->WipeSecrets();
  EXPECT_FALSE(Contains(ctx_->region(), reinterpret_cast<const uint8_t*>(pw.data()), pw.size()));
  EXPECT_FALSE(Contains(ctx_->region(), x_bytes, sizeof x_bytes));
  EXPECT_FALSE(Contains(ctx_->region(), p_bytes, sizeof p_bytes));
}

TEST_F(IdentityFlow, GetPasswordFromTheCacheAndFromThePerson) {
  PasswordBytes out;
  ui_.AnswerPassword(Enter("wrong"));
  ui_.AnswerPassword(Enter(Alice().password, true));
  EXPECT_TRUE(passwords_->GetPassword(out));
  EXPECT_TRUE(passwords_->Remember());
  EXPECT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].text, "Password doesn't match key\nTry again");
  // Now held: no further prompt.
  PasswordBytes again;
  EXPECT_TRUE(passwords_->GetPassword(again));
  EXPECT_TRUE(again == out);
  EXPECT_EQ(ui_.password_requests().size(), 2u);
  EXPECT_EQ(log_.Messages("Main"),
            (std::vector<std::string>{"Get password: user is requested", "Get password: stored value"}));
}

TEST_F(IdentityFlow, CancelOrEmptyGivesNoPassword) {
  PasswordBytes out;
  EXPECT_FALSE(passwords_->GetPassword(out));  // nothing scripted: Cancel
  ui_.AnswerPassword(Enter(""));
  EXPECT_FALSE(passwords_->GetPassword(out));
  EXPECT_TRUE(ui_.messages().empty());
  EXPECT_EQ(closed_, 0);
}

// Re-protects the fixture's key under other password bytes, as a key file
// made elsewhere would hold it.
KeyRecord KeyUnder(std::string_view password) {
  KeyRecord key = Alice().record;
  const std::string& old = Alice().password;
  EXPECT_EQ(ChangePassword(key, reinterpret_cast<const uint8_t*>(old.data()), old.size(),
                           reinterpret_cast<const uint8_t*>(password.data()), password.size()),
            1);
  return key;
}

// A key saved with an empty password still opens, and the empty password
// it takes is held like any other (no second prompt).
TEST_F(IdentityFlow, AKeySavedWithAnEmptyPasswordOpens) {
  ctx_->key() = KeyUnder("");
  ui_.AnswerPassword(Enter(""));
  PasswordBytes out;
  EXPECT_TRUE(passwords_->GetPassword(out));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(passwords_->Held());
  EXPECT_TRUE(passwords_->GetPassword(out));
  EXPECT_EQ(ui_.password_requests().size(), 1u);
}

// Keys made on the original platform hold the Windows-1252 bytes of a
// non-ASCII password; the UTF-8 text typed here opens them, and what is
// held is the bytes that opened the key. New keys keep UTF-8.
TEST_F(IdentityFlow, ANonAsciiPasswordOpensAKeyMadeInWindows1252) {
  TempDir dir;
  const std::string path = dir.File("old.key");
  ASSERT_EQ(WriteKeyFile(path, KeyUnder("P\xE4ss w\xF6rd \x80")), KeyFileWrite::kWritten);
  ASSERT_EQ(LoadKeyFile(path, ctx_->key()), KeyFileLoad::kLoaded);
  ui_.AnswerPassword(Enter("P\u00e4ss w\u00f6rd \u20ac"));
  PasswordBytes out;
  ASSERT_TRUE(passwords_->GetPassword(out));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), out.size()), "P\xE4ss w\xF6rd \x80");
  EXPECT_TRUE(ui_.messages().empty());

  ctx_->key() = KeyUnder("P\u00e4ss");  // a key made here: UTF-8
  passwords_->Tick();
  ForgetPassword(ctx_->cache());
  ui_.AnswerPassword(Enter("P\u00e4ss"));
  ASSERT_TRUE(passwords_->GetPassword(out));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), out.size()), "P\u00e4ss");
}

// A second thread that needs the password while the prompt is up waits for
// that prompt (no lock held) and takes its answer; the thread that shows
// dialogs never waits for its own dialog (that would freeze it) and asks
// on its own.
TEST_F(IdentityFlow, APromptInProgressIsAwaitedOnlyWhereWaitingCannotFreezeIt) {
  ui_.SetDialogThread(std::this_thread::get_id());
  std::thread waiter;
  std::atomic<bool> waiter_got{false};
  PasswordBytes waiter_out;
  size_t requests_while_waiting = 0;
  ui_.WhilePromptShown([&](size_t prompt) {
    if (prompt != 0) return;
    waiter = std::thread([&] { waiter_got = passwords_->GetPassword(waiter_out); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (passwords_->PromptWaiters() == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(passwords_->PromptWaiters(), 1u);
    ui_.AnswerPassword(Enter(Alice().password));
    PasswordBytes nested;  // a task the dialog's event loop runs
    EXPECT_TRUE(passwords_->GetPassword(nested));
    requests_while_waiting = ui_.password_requests().size();
    EXPECT_EQ(passwords_->PromptWaiters(), 1u);  // still waiting for the first prompt
  });
  ui_.AnswerPassword(Enter(Alice().password));
  PasswordBytes out;
  EXPECT_TRUE(passwords_->GetPassword(out));
  ASSERT_TRUE(waiter.joinable());
  waiter.join();
  EXPECT_EQ(requests_while_waiting, 2u);
  EXPECT_TRUE(waiter_got);
  EXPECT_TRUE(waiter_out == out);
  EXPECT_EQ(ui_.password_requests().size(), 2u);  // the waiter took the answer from the cache
}

TEST_F(IdentityFlow, FiveWrongPasswordsCloseTheProgram) {
  for (int i = 0; i < 5; ++i) ui_.AnswerPassword(Enter("wrong " + std::to_string(i)));
  PasswordBytes out;
  EXPECT_FALSE(passwords_->GetPassword(out));
  EXPECT_EQ(closed_, 1);
  const auto messages = ui_.messages();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages.back().title, "Error");
  EXPECT_EQ(messages.back().text, "Too many attempts to enter the password\nPROGRAM WILL BE CLOSED");
  EXPECT_EQ(log_.Messages("Main").back(), "USER ENTER WRONG PASSWORD MANY TIMES PROGRAM WILL BE CLOSED");
}

TEST_F(IdentityFlow, TimerForgetsAfterTimeMinutes) {
  passwords_->SetTime(2);
  passwords_->Cache(PasswordBytes(Alice().password));
  passwords_->Tick();
  passwords_->Tick();
  EXPECT_TRUE(passwords_->Held());
  passwords_->Tick();
  EXPECT_FALSE(passwords_->Held());
  EXPECT_EQ(log_.Messages("Main"), (std::vector<std::string>{"Password Cleared"}));
}

TEST_F(IdentityFlow, PasswordChangeRewritesTheKeyFile) {
  TempDir dir;
  const std::string key_file = dir.File("orv.key");
  PasswordAnswer wrong_old = Generate("new pw", "new pw", "Alice in the office", "");
  wrong_old.old_password.Assign("not the old one");
  PasswordAnswer right = Generate("new pw", "new pw", "Alice in the office", "");
  right.old_password.Assign(Alice().password);
  ui_.AnswerPassword(std::move(wrong_old));
  ui_.AnswerPassword(std::move(right));
  ASSERT_TRUE(RunPasswordChange(ui_, *ctx_, *passwords_, key_file));
  EXPECT_EQ(ui_.messages().at(0).text, "Can't change password. Try again");

  KeyRecord loaded;
  ASSERT_EQ(LoadKeyFile(key_file, loaded), KeyFileLoad::kLoaded);
  EXPECT_EQ(CheckPassword(loaded, reinterpret_cast<const uint8_t*>("new pw"), 6), 1);
  EXPECT_EQ(std::memcmp(loaded.certificate.user_id, Alice().record.certificate.user_id, 32), 0);
  EXPECT_EQ(loaded.certificate.info_length, 2 * std::string("Alice in the office").size());
  EXPECT_EQ(CheckPassword(ctx_->key(), reinterpret_cast<const uint8_t*>("new pw"), 6), 1);

  ui_.AnswerPassword(PasswordAnswer{});  // Cancel
  EXPECT_FALSE(RunPasswordChange(ui_, *ctx_, *passwords_, key_file));
  EXPECT_EQ(log_.Messages("Key & Password").back(), "Password was not changed");
}

TEST(KeyGeneration, WrittenKeyLoadsAndMatchesTheLoggedFingerprint) {
  TempDir dir;
  ScriptedUiPort ui;
  LogCapture log;
  const std::string path = dir.File("new.key");
  std::string info;
  for (int i = 0; i < 230; ++i) info += static_cast<char>('a' + i % 26);  // longer than 222 characters
  ui.AnswerPassword(Generate("pw one", "pw two", info, path));
  ui.AnswerPassword(Generate("pw one", "pw one", info, path));
  ui.ScriptEntropyEvents(10);
  std::string key_file = dir.File("offered.key");
  ASSERT_TRUE(RunKeyGeneration(ui, key_file));
  EXPECT_EQ(key_file, path);
  EXPECT_EQ(ui.messages().at(0).text, "Passwords are different");
  ASSERT_EQ(ReadFileBytes(path).size(), kKeyFileBytes);

  KeyRecord loaded;
  ASSERT_EQ(LoadKeyFile(path, loaded), KeyFileLoad::kLoaded);
  EXPECT_EQ(CheckPassword(loaded, reinterpret_cast<const uint8_t*>("pw one"), 6), 1);
  EXPECT_EQ(loaded.certificate.info_length, 444);
  EXPECT_EQ(loaded.certificate.info[444], 0);
  EXPECT_EQ(loaded.certificate.info[445], 0);
  const auto lines = log.Messages("Key & Password");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("Fingerprint: " + UserIdText(loaded.certificate.user_id)), std::string::npos);
  EXPECT_NE(lines[0].find("User info: " + info.substr(0, 222) + ". "), std::string::npos);
}

TEST(KeyGeneration, AnsweringNoKeepsTheOldFile) {
  TempDir dir;
  ScriptedUiPort ui;
  LogCapture log;
  const std::string path = dir.File("old.key");
  test::WriteWholeFile(path, "the old key");
  ui.AnswerPassword(Generate("pw", "pw", "x", path));
  ui.AnswerYesNo(false);
  std::string key_file = path;
  EXPECT_FALSE(RunKeyGeneration(ui, key_file));  // asked again, then Cancel
  EXPECT_EQ(test::ReadWholeFile(path), "the old key");
  EXPECT_EQ(ui.password_requests().size(), 2u);
  EXPECT_EQ(log.Messages("Key & Password"), (std::vector<std::string>{"Key was not generated"}));
}

// A password being set may not be empty (an empty answer at the prompt
// means "no password"): the reason is shown and the dialog comes back.
TEST(KeyGeneration, AnEmptyPasswordIsRefusedWhereOneIsSet) {
  TempDir dir;
  ScriptedUiPort ui;
  const std::string path = dir.File("new.key");
  ui.AnswerPassword(Generate("", "", "x", path));
  ui.AnswerPassword(Generate("pw", "pw", "x", path));
  ui.ScriptEntropyEvents(10);
  std::string key_file = path;
  ASSERT_TRUE(RunKeyGeneration(ui, key_file));
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].text, "The password can't be empty");

  auto ctx = AppContext::Create(ui);
  ASSERT_EQ(LoadKeyFile(path, ctx->key()), KeyFileLoad::kLoaded);
  PasswordService passwords(*ctx, ui, {});
  PasswordAnswer empty_new = Generate("", "", "x", "");
  empty_new.old_password.Assign("pw");
  ui.AnswerPassword(std::move(empty_new));  // then Cancel
  EXPECT_FALSE(RunPasswordChange(ui, *ctx, passwords, path));
  EXPECT_EQ(ui.messages().back().text, "The password can't be empty");
  EXPECT_EQ(CheckPassword(ctx->key(), reinterpret_cast<const uint8_t*>("pw"), 2), 1);
}

TEST(EntropyCollector, CountsToTheEnd) {
  EntropyCollector sink;
  const uint8_t sample[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < 900; ++i) {
    sink.StirEntropy(sample);
    sink.StepEntropy();
  }
  EXPECT_EQ(sink.steps(), kEntropySteps);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST(LoadUserKey, WarningsAndTheEarlierKeyStays) {
  test::TempDir dir;
  ScriptedUiPort ui;
  auto ctx = AppContext::Create(ui);
  ASSERT_TRUE(LoadUserKey(ui, *ctx, [&] {
    const std::string path = dir.File("a.key");
    WriteKeyFile(path, test::Alice().record);
    return path;
  }()));
  EXPECT_TRUE(ctx->key().loaded);
  const std::string missing = dir.File("missing.key");
  EXPECT_FALSE(LoadUserKey(ui, *ctx, missing));
  test::WriteWholeFile(dir.File("bad.key"), "not a key");
  EXPECT_FALSE(LoadUserKey(ui, *ctx, dir.File("bad.key")));
  const auto messages = ui.messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].title, "Warning");
  EXPECT_EQ(messages[0].text, "Can't open key file:\n" + missing + "\nDefine correct key file in settings menu");
  EXPECT_EQ(messages[1].text, "Wrong key file format\nDefine correct key file in settings menu");
  EXPECT_EQ(std::memcmp(ctx->key().certificate.user_id, test::Alice().record.certificate.user_id, 32), 0);
}

}  // namespace
}  // namespace orv
