#include "daemon/terminal_ui_port.hpp"

#include <errno.h>
#include <sys/random.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>

#include "daemon/terminal_input.hpp"
#include "netsetup/firewall_stand_in.hpp"

namespace orv {
namespace {

bool Interactive() { return ::isatty(STDIN_FILENO) == 1; }

// Reads one line from the terminal with echo off; false at the end of input.
bool ReadSecretLine(const char* prompt, PasswordBytes& out) {
  std::fprintf(stderr, "%s", prompt);
  std::fflush(stderr);
  termios saved{};
  const bool tty = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (tty) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  out.Clear();
  bool got_any = false;
  // Byte by byte, without the stdio buffer, so that nothing typed after the
  // password is taken from the command reader.
  for (;;) {
    char c = 0;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got_any = true;
    if (c == '\n') break;
    if (c != '\r') out.Append(static_cast<uint8_t>(c));
  }
  if (tty) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::fprintf(stderr, "\n");
  return got_any;
}

}  // namespace

bool DefaultAnswer(std::string_view text) { return text.find("generate key file now") != std::string_view::npos; }

TerminalUiPort::TerminalUiPort(std::string password_file, std::string user_info, TerminalInput* input)
    : password_file_(std::move(password_file)), user_info_(std::move(user_info)), input_(input) {}

void TerminalUiPort::ShowMessage(std::string_view title, std::string_view text, MessageIcon) {
  std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
               text.data());
}

bool TerminalUiPort::AskYesNo(std::string_view title, std::string_view text, MessageIcon icon) {
  ShowMessage(title, text, icon);
  if (!Interactive()) {
    const bool yes = DefaultAnswer(text);
    std::fprintf(stderr, "(no terminal: answered %s)\n", yes ? "yes" : "no");
    return yes;
  }
  TerminalInput::PromptTurn turn(input_);
  std::fprintf(stderr, "[y/N] ");
  std::string line;
  if (!ReadInputLine(line)) return false;
  return !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}

bool TerminalUiPort::ReadPasswordFile(PasswordBytes& out) const {
  FILE* f = std::fopen(password_file_.c_str(), "rb");
  if (!f) return false;
  out.Clear();
  for (int c; (c = std::fgetc(f)) != EOF && c != '\n';)
    if (c != '\r') out.Append(static_cast<uint8_t>(c));
  std::fclose(f);
  return true;
}

PasswordAnswer TerminalUiPort::AskPassword(const PasswordRequest& request) {
  PasswordAnswer answer;
  answer.user_info = request.mode == PasswordMode::kGenerate ? user_info_ : request.user_info;
  answer.key_file = request.key_file;
  answer.remember = request.remember;
  if (!password_file_.empty()) {
    if (request.mode == PasswordMode::kEnter && request.attempt > 0) {
      fatal_reason_ = "the password in " + password_file_ + " does not open the key; correct the password file";
      return answer;
    }
    answer.accepted = ReadPasswordFile(answer.password);
    if (!answer.accepted)
      fatal_reason_ = "can't read the password file " + password_file_ + "; check that it exists and is readable";
    if (answer.accepted && request.mode != PasswordMode::kEnter && answer.password.empty()) {
      // The file would be read again and again: a new password may not be empty.
      answer.accepted = false;
      fatal_reason_ = "the password file " + password_file_ + " is empty; a key needs a password";
    }
    answer.confirmation_shown = false;
    return answer;
  }
  if (!Interactive()) {  // nobody to ask: Cancel
    fatal_reason_ = "no password: run orvd in a terminal or give --password-file FILE";
    return answer;
  }
  TerminalInput::PromptTurn turn(input_);
  if (request.mode == PasswordMode::kChange && !ReadSecretLine("Old password: ", answer.old_password)) return answer;
  if (request.mode != PasswordMode::kEnter) std::fprintf(stderr, "New key file: %s\n", request.key_file.c_str());
  if (!ReadSecretLine("Password: ", answer.password)) return answer;
  if (request.mode != PasswordMode::kEnter && !ReadSecretLine("Confirmation: ", answer.confirmation)) return answer;
  answer.confirmation_shown = request.mode != PasswordMode::kEnter;
  answer.accepted = true;
  return answer;
}

// No mouse to move: each event is 8 bytes from the OS source and the clock.
void TerminalUiPort::CollectEntropy(EntropySink& sink) {
  std::array<uint8_t, 16> sample{};
  for (uint32_t step = 0; step < kEntropySteps; step = sink.StepEntropy()) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    ssize_t got = ::getrandom(sample.data(), 8, 0);
    (void)got;
    for (int k = 0; k < 8; ++k) sample[8 + static_cast<size_t>(k)] = static_cast<uint8_t>(now.tv_nsec >> (8 * k));
    sink.StirEntropy(sample);
  }
  sample.fill(0);
}

void TerminalUiPort::SetPreventSleep(bool) {}
void TerminalUiPort::OpenFirewallPort(uint16_t port) { ReportNoFirewallManager(FirewallChange::kOpen, port); }
void TerminalUiPort::CloseFirewallPort(uint16_t port) { ReportNoFirewallManager(FirewallChange::kClose, port); }

}  // namespace orv
