// A UiPort for tests: answers come from a script queued beforehand, and
// every message, question, prompt and effect is recorded for the test to
// read. A question with nothing scripted is answered No (a password prompt
// Cancel), so a test never waits for input. Safe to call from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ui_port.hpp"

namespace orv {

class ScriptedUiPort final : public UiPort {
 public:
  struct Message {
    std::string title;
    std::string text;
    MessageIcon icon = MessageIcon::kError;
    bool question = false;  // asked with Yes and No
    bool operator==(const Message&) const = default;
  };

  struct Effect {
    enum Kind { kPreventSleep, kOpenFirewallPort, kCloseFirewallPort };
    Kind kind;
    uint32_t value;  // the flag or the port
    bool operator==(const Effect&) const = default;
  };

  // Script.
  void AnswerYesNo(bool yes);
  void AnswerPassword(PasswordAnswer answer);
  // The next entropy prompt delivers this many input events (then closes).
  void ScriptEntropyEvents(size_t events);
  // Runs while each password prompt is "shown" (its answer already taken),
  // with the prompt's number, counted from 0: what a dialog's own event
  // loop would run meanwhile.
  void WhilePromptShown(std::function<void(size_t)> run);
  // The thread that "shows" the dialogs (none by default): it may not wait
  // for a dialog in progress.
  void SetDialogThread(std::thread::id id);

  // Record.
  std::vector<Message> messages() const;
  std::vector<Effect> effects() const;
  std::vector<PasswordRequest> password_requests() const;
  size_t unscripted_questions() const;

  // UiPort.
  void ShowMessage(std::string_view title, std::string_view text, MessageIcon icon) override;
  bool AskYesNo(std::string_view title, std::string_view text, MessageIcon icon) override;
  PasswordAnswer AskPassword(const PasswordRequest& request) override;
  void CollectEntropy(EntropySink& sink) override;
  void SetPreventSleep(bool prevent) override;
  void OpenFirewallPort(uint16_t port) override;
  void CloseFirewallPort(uint16_t port) override;
  bool MayWaitForDialog() const override;

 private:
  mutable std::mutex mutex_;
  std::deque<bool> yes_no_;
  std::deque<PasswordAnswer> passwords_;  // a deque never moves its elements
  std::deque<size_t> entropy_;
  std::vector<Message> messages_;
  std::vector<Effect> effects_;
  std::vector<PasswordRequest> password_requests_;
  size_t unscripted_ = 0;
  std::function<void(size_t)> while_prompt_shown_;
  std::thread::id dialog_thread_;
};

}  // namespace orv
