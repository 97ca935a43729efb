// The one way to obtain the user's password: from the masked cache, or by
// asking the person (at most five attempts, then the program closes).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "app/app_context.hpp"
#include "app/ui_port.hpp"
#include "identity/password_bytes.hpp"

namespace orv {

constexpr int kPasswordAttempts = 5;

class PasswordService {
 public:
  // `close_program` ends the run after the fifth wrong password.
  PasswordService(AppContext& ctx, UiPort& ui, std::function<void()> close_program);

  // The `Time` (minutes) and `Remember` settings. Remember changes with the
  // "Remember" box of the prompt; the owner copies both back at save.
  void SetTime(uint32_t minutes) { time_ = minutes; }
  uint32_t Time() const { return time_; }
  void SetRemember(bool remember) { remember_ = remember; }
  bool Remember() const { return remember_; }

  // Writes the password into out; false when none is held and the person
  // cancels, enters nothing or fails five times. A key saved with an empty
  // password opens with an empty answer: then out is empty and the result
  // true. A non-ASCII password that does not open the key as typed is
  // tried in Windows-1252 (keys made on the original platform).
  bool GetPassword(PasswordBytes& out);

  // Puts a password into the cache for `Time` minutes (the settings load
  // with a remembered password).
  void Cache(const PasswordBytes& password);

  // After a password change: the new password, freshly masked; the
  // countdown stays as it was.
  void ReplaceCached(const PasswordBytes& password);

  // True while a password is held (without revealing it).
  bool Held();

  // Callers waiting for the prompt in progress (for tests).
  size_t PromptWaiters();

  // One minute of the password timer; logs "Password Cleared" when the
  // password is forgotten.
  void Tick();

 private:
  bool FromCache(PasswordBytes& out);
  bool TakeTurnToAsk(PasswordBytes& out, bool& turn);
  void EndTurn();
  bool AskPerson(PasswordBytes& out);
  bool Accept(PasswordAnswer& answer, PasswordBytes& out);

  AppContext& ctx_;
  UiPort& ui_;
  std::function<void()> close_program_;
  // One prompt at a time: others wait for it on `prompt_ended_` (no lock
  // is held while a dialog is shown) and take what it left in the cache.
  std::mutex prompt_mutex_;
  std::condition_variable prompt_ended_;
  bool prompting_ = false;  // guarded by prompt_mutex_
  size_t waiters_ = 0;      // guarded by prompt_mutex_
  std::atomic<uint32_t> time_{0};
  std::atomic<bool> remember_{false};
};

}  // namespace orv
