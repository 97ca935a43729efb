// The UI port of the headless node: messages go to the standard error
// stream, passwords come from a password file or a terminal prompt without
// echo, questions are asked on the terminal (or answered by policy when
// there is none), and entropy comes from the OS source and the clock.
#pragma once

#include <string>

#include "app/ui_port.hpp"

namespace orv {

class TerminalInput;

class TerminalUiPort final : public UiPort {
 public:
  // `password_file` may be empty; `user_info` is the info of a generated key.
  // Prompts take their turn at the terminal from `input` when it is given.
  TerminalUiPort(std::string password_file, std::string user_info, TerminalInput* input = nullptr);

  void ShowMessage(std::string_view title, std::string_view text, MessageIcon icon) override;
  bool AskYesNo(std::string_view title, std::string_view text, MessageIcon icon) override;
  PasswordAnswer AskPassword(const PasswordRequest& request) override;
  void CollectEntropy(EntropySink& sink) override;
  void SetPreventSleep(bool prevent) override;
  void OpenFirewallPort(uint16_t port) override;
  void CloseFirewallPort(uint16_t port) override;

  // Why the node cannot run with the password it was given (a password file
  // that cannot be read or does not open the key, or nobody to ask); empty
  // while all is well. The password file cannot get better on a second try,
  // so it is asked once and a refusal ends the start.
  const std::string& fatal_reason() const { return fatal_reason_; }

 private:
  bool ReadPasswordFile(PasswordBytes& out) const;
  std::string password_file_;
  std::string user_info_;
  TerminalInput* input_;
  std::string fatal_reason_;
};

// Without a terminal: Yes to generating a key on the first run, No to
// everything else (never overwrite a key file unasked).
bool DefaultAnswer(std::string_view text);

}  // namespace orv
