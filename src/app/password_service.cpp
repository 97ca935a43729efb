#include "app/password_service.hpp"

#include "app/event_log.hpp"
#include "crypto/key_protection.hpp"
#include "crypto/wipe.hpp"

namespace orv {

PasswordService::PasswordService(AppContext& ctx, UiPort& ui, std::function<void()> close_program)
    : ctx_(ctx), ui_(ui), close_program_(std::move(close_program)) {}

bool PasswordService::FromCache(PasswordBytes& out) {
  uint8_t bytes[PasswordCache::kCapacity];
  size_t n;
  {
    std::lock_guard<std::mutex> lock(ctx_.app_lock());
    n = UnmaskPassword(ctx_.cache(), bytes);
  }
  if (n) out.Assign(bytes, n);
  WipeBytes(bytes, sizeof bytes);
  return n != 0;
}

size_t PasswordService::GetPassword(PasswordBytes& out) {
  if (FromCache(out)) {
    LogEvent("Main", "Get password: stored value");
    return out.size();
  }
  // A second caller waits for the prompt in progress and then finds the
  // password it produced in the cache.
  std::lock_guard<std::mutex> prompt(prompt_lock_);
  if (FromCache(out)) {
    LogEvent("Main", "Get password: stored value");
    return out.size();
  }
  return AskPerson(out);
}

size_t PasswordService::AskPerson(PasswordBytes& out) {
  for (int attempt = 0; attempt < kPasswordAttempts; ++attempt) {
    PasswordRequest request;
    request.mode = PasswordMode::kEnter;
    request.remember = remember_;
    request.attempt = attempt;
    PasswordAnswer answer = ui_.AskPassword(request);
    if (!answer.accepted || answer.password.empty()) return 0;
    const KeyRecord& key = ctx_.key();
    if (CheckPassword(key, answer.password.data(), answer.password.size())) {
      Cache(answer.password);
      remember_ = answer.remember;
      LogEvent("Main", "Get password: user is requested");
      out = std::move(answer.password);
      return out.size();
    }
    ui_.ShowMessage("Password", "Password doesn't match key\nTry again", MessageIcon::kWarning);
  }
  ui_.ShowMessage(kTitleError, "Too many attempts to enter the password\nPROGRAM WILL BE CLOSED",
                  MessageIcon::kError);
  LogEvent("Main", "USER ENTER WRONG PASSWORD MANY TIMES PROGRAM WILL BE CLOSED");
  if (close_program_) close_program_();
  return 0;
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
  return ctx_.cache().length != 0;
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
