#include "app/password_service.hpp"

#include "app/event_log.hpp"
#include "crypto/key_protection.hpp"
#include "crypto/wipe.hpp"
#include "identity/legacy_password.hpp"

namespace orv {

PasswordService::PasswordService(AppContext& ctx, UiPort& ui, std::function<void()> close_program)
    : ctx_(ctx), ui_(ui), close_program_(std::move(close_program)) {}

bool PasswordService::FromCache(PasswordBytes& out) {
  uint8_t bytes[PasswordCache::kCapacity];
  size_t n;
  bool held;
  {
    std::lock_guard<std::mutex> lock(ctx_.app_lock());
    n = UnmaskPassword(ctx_.cache(), bytes);
    held = ctx_.cache().held;
  }
  if (held) out.Assign(bytes, n);
  WipeBytes(bytes, sizeof bytes);
  if (held) LogEvent("Main", "Get password: stored value");
  return held;
}

bool PasswordService::GetPassword(PasswordBytes& out) {
  if (FromCache(out)) return true;
  bool turn = false;
  if (TakeTurnToAsk(out, turn)) return true;
  const bool given = AskPerson(out);
  if (turn) EndTurn();
  return given;
}

// Takes the turn to ask, or waits for the prompt in progress and takes
// the password it left in the cache (true). No lock is held while a dialog
// is shown. The thread that shows the dialogs cannot wait for one of its
// own (a task run by the dialog's event loop would freeze it): it asks
// without the turn.
bool PasswordService::TakeTurnToAsk(PasswordBytes& out, bool& turn) {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(prompt_mutex_);
      if (prompting_ && !ui_.MayWaitForDialog()) return false;
      ++waiters_;
      prompt_ended_.wait(lock, [this] { return !prompting_; });
      --waiters_;
      if (!Held()) {
        prompting_ = true;
        turn = true;
        return false;
      }
    }
    if (FromCache(out)) return true;
  }
}

size_t PasswordService::PromptWaiters() {
  std::lock_guard<std::mutex> lock(prompt_mutex_);
  return waiters_;
}

void PasswordService::EndTurn() {
  {
    std::lock_guard<std::mutex> lock(prompt_mutex_);
    prompting_ = false;
  }
  prompt_ended_.notify_all();
}

bool PasswordService::AskPerson(PasswordBytes& out) {
  for (int attempt = 0; attempt < kPasswordAttempts; ++attempt) {
    PasswordRequest request;
    request.mode = PasswordMode::kEnter;
    request.remember = remember_;
    request.attempt = attempt;
    PasswordAnswer answer = ui_.AskPassword(request);
    if (!answer.accepted) return false;
    if (Accept(answer, out)) return true;
    // An empty answer is a refusal, as Cancel is, unless the key itself
    // was saved with an empty password.
    if (answer.password.empty()) return false;
    ui_.ShowMessage("Password", "Password doesn't match key\nTry again", MessageIcon::kWarning);
  }
  ui_.ShowMessage(kTitleError, "Too many attempts to enter the password\nPROGRAM WILL BE CLOSED",
                  MessageIcon::kError);
  LogEvent("Main", "USER ENTER WRONG PASSWORD MANY TIMES PROGRAM WILL BE CLOSED");
  if (close_program_) close_program_();
  return false;
}

bool PasswordService::Accept(PasswordAnswer& answer, PasswordBytes& out) {
  if (!OpenWithPassword(ctx_.key(), answer.password)) return false;
  Cache(answer.password);
  remember_ = answer.remember;
  LogEvent("Main", "Get password: user is requested");
  out = std::move(answer.password);
  return true;
}

void PasswordService::Cache(const PasswordBytes& password) {
  std::lock_guard<std::mutex> lock(ctx_.app_lock());
  CachePassword(ctx_.cache(), password.data(), password.size(), time_);
}

void PasswordService::ReplaceCached(const PasswordBytes& password) {
  if (password.empty()) return;
  std::lock_guard<std::mutex> lock(ctx_.app_lock());
  const uint32_t countdown = ctx_.cache().countdown;
  CachePassword(ctx_.cache(), password.data(), password.size(), countdown);
}

bool PasswordService::Held() {
  std::lock_guard<std::mutex> lock(ctx_.app_lock());
  return ctx_.cache().held;
}

void PasswordService::Tick() {
  bool cleared;
  {
    std::lock_guard<std::mutex> lock(ctx_.app_lock());
    cleared = PasswordCacheTick(ctx_.cache(), time_);
  }
  if (cleared) LogEvent("Main", "Password Cleared");
}

}  // namespace orv
