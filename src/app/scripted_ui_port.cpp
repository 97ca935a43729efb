#include "app/scripted_ui_port.hpp"

#include <array>

namespace orv {

void ScriptedUiPort::AnswerYesNo(bool yes) {
  std::lock_guard lock(mutex_);
  yes_no_.push_back(yes);
}

void ScriptedUiPort::AnswerPassword(PasswordAnswer answer) {
  std::lock_guard lock(mutex_);
  passwords_.push_back(std::move(answer));
}

void ScriptedUiPort::ScriptEntropyEvents(size_t events) {
  std::lock_guard lock(mutex_);
  entropy_.push_back(events);
}

std::vector<ScriptedUiPort::Message> ScriptedUiPort::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<ScriptedUiPort::Effect> ScriptedUiPort::effects() const {
  std::lock_guard lock(mutex_);
  return effects_;
}

std::vector<PasswordRequest> ScriptedUiPort::password_requests() const {
  std::lock_guard lock(mutex_);
  return password_requests_;
}

size_t ScriptedUiPort::unscripted_questions() const {
  std::lock_guard lock(mutex_);
  return unscripted_;
}

void ScriptedUiPort::ShowMessage(std::string_view title, std::string_view text, MessageIcon icon) {
  std::lock_guard lock(mutex_);
  messages_.push_back({std::string(title), std::string(text), icon, false});
}

bool ScriptedUiPort::AskYesNo(std::string_view title, std::string_view text, MessageIcon icon) {
  std::lock_guard lock(mutex_);
  messages_.push_back({std::string(title), std::string(text), icon, true});
  if (yes_no_.empty()) {
    ++unscripted_;
    return false;
  }
  const bool yes = yes_no_.front();
  yes_no_.pop_front();
  return yes;
}

PasswordAnswer ScriptedUiPort::AskPassword(const PasswordRequest& request) {
  PasswordAnswer answer;
  std::function<void(size_t)> while_shown;
  size_t index;
  {
    std::lock_guard lock(mutex_);
    index = password_requests_.size();
    password_requests_.push_back(request);
    if (passwords_.empty()) {
      ++unscripted_;  // Cancel
    } else {
      answer = std::move(passwords_.front());
      passwords_.pop_front();
    }
    while_shown = while_prompt_shown_;
  }
  if (while_shown) while_shown(index);
  return answer;
}

void ScriptedUiPort::WhilePromptShown(std::function<void(size_t)> run) {
  std::lock_guard lock(mutex_);
  while_prompt_shown_ = std::move(run);
}

void ScriptedUiPort::SetDialogThread(std::thread::id id) {
  std::lock_guard lock(mutex_);
  dialog_thread_ = id;
}

bool ScriptedUiPort::MayWaitForDialog() const {
  std::lock_guard lock(mutex_);
  return std::this_thread::get_id() != dialog_thread_;
}

void ScriptedUiPort::CollectEntropy(EntropySink& sink) {
  size_t events = 0;
  {
    std::lock_guard lock(mutex_);
    if (!entropy_.empty()) {
      events = entropy_.front();
      entropy_.pop_front();
    }
  }
  // Outside the lock: the sink belongs to the core and may take its own.
  for (size_t i = 0; i < events; ++i) {
    std::array<uint8_t, 8> sample{};
    for (size_t b = 0; b < sample.size(); ++b) sample[b] = static_cast<uint8_t>(i >> (8 * b));
    sink.StirEntropy(sample);
    if (sink.StepEntropy() >= kEntropySteps) break;
  }
}

void ScriptedUiPort::SetPreventSleep(bool prevent) {
  std::lock_guard lock(mutex_);
  effects_.push_back({Effect::kPreventSleep, prevent ? 1u : 0u});
}

void ScriptedUiPort::OpenFirewallPort(uint16_t port) {
  std::lock_guard lock(mutex_);
  effects_.push_back({Effect::kOpenFirewallPort, port});
}

void ScriptedUiPort::CloseFirewallPort(uint16_t port) {
  std::lock_guard lock(mutex_);
  effects_.push_back({Effect::kCloseFirewallPort, port});
}

}  // namespace orv
