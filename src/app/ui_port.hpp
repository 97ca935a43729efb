// The one way the core asks and tells a person things. `orv` implements it
// with widgets, `orvd` with its control protocol, a password file or a
// terminal prompt and policies, tests with ScriptedUiPort. Every call may
// block until the person answers; none is made while a core lock is held.
// Texts are UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "identity/password_bytes.hpp"

namespace orv {

// The titles of the failures a person must see.
inline constexpr std::string_view kTitleError = "Error";
inline constexpr std::string_view kTitleWarning = "Warning";
inline constexpr std::string_view kTitleFatalError = "Fatal Error";
inline constexpr std::string_view kTitleQuestion = "Question";

enum class MessageIcon { kError, kWarning, kQuestion, kInformation };

// The program's own windows that the start-up and shutdown sequences open
// and close. The tool windows ("Log", "Network", "Kademlia", "Downloads")
// are made hidden and shown from the menu; the splash is the "About" window.
// The dialogs the menu opens: "About" (modal), the settings, "Find" and
// "ConnectTo" (whose address goes to Application::Connect).
enum class AppWindow { kMain, kSplash, kLog, kNetwork, kKademlia, kDownloads, kChats, kAbout, kSettings, kFind, kConnectTo };

// The three password dialogs.
enum class PasswordMode {
  kEnter,     // "Enter Password": password and the "Remember" box
  kChange,    // "Password": old password, new password twice, user info
  kGenerate,  // "Password": password twice, user info, key file name
};

struct PasswordRequest {
  PasswordMode mode = PasswordMode::kEnter;
  bool remember = false;  // how the "Remember" box starts (kEnter)
  int attempt = 0;        // kEnter: 0 for the first ask, n after n refused passwords
  std::string user_info;  // shown for editing (kChange, kGenerate)
  std::string key_file;   // shown for editing (kGenerate)
};

// What the person entered. The passwords are cut to 127 bytes, the same way
// whenever a password is set or entered.
struct PasswordAnswer {
  bool accepted = false;           // OK; false for Cancel
  PasswordBytes password;          // "Password:"
  PasswordBytes confirmation;      // "Confirmation:" (kChange, kGenerate)
  bool confirmation_shown = true;  // false while "Show symbols" hid it: then it is not compared
  PasswordBytes old_password;      // "Old Password:" (kChange)
  bool remember = false;           // "Remember" (kEnter)
  std::string user_info;           // "User Info:" (kChange, kGenerate)
  std::string key_file;            // "File Name:" (kGenerate)
};

// True unless the confirmation was shown and differs from the password
// (then the core says "Passwords are different" and asks again).
inline bool ConfirmationMatches(const PasswordAnswer& answer) {
  return !answer.confirmation_shown || answer.password == answer.confirmation;
}

// Why a password being set (new key, password change) is refused, or an
// empty text when it is fine. An empty password is refused: an empty
// answer to the password prompt means "no password", so a key protected
// by one could never be used. (An old key saved with an empty password
// still opens.)
inline std::string_view NewPasswordRefusal(const PasswordAnswer& answer) {
  if (answer.password.empty()) return "The password can't be empty";
  if (!ConfirmationMatches(answer)) return "Passwords are different";
  return {};
}

// Number of input events that complete the entropy collection.
inline constexpr uint32_t kEntropySteps = 800;

// The core's side of entropy collection: the prompt hands it the bytes of
// every input event and counts the events.
class EntropySink {
 public:
  virtual ~EntropySink() = default;
  // Mixes the bytes of one sample (the clock, a key, a mouse position) into
  // the random pool.
  virtual void StirEntropy(std::span<const uint8_t> sample) = 0;
  // Counts one event and returns the progress, 0..kEntropySteps. At
  // kEntropySteps the prompt ends.
  virtual uint32_t StepEntropy() = 0;
};

class UiPort {
 public:
  virtual ~UiPort() = default;

  // A message box with an OK button.
  virtual void ShowMessage(std::string_view title, std::string_view text, MessageIcon icon) = 0;

  // A message box with Yes and No; true for Yes.
  virtual bool AskYesNo(std::string_view title, std::string_view text, MessageIcon icon) = 0;

  // One of the password dialogs.
  virtual PasswordAnswer AskPassword(const PasswordRequest& request) = 0;

  // False on the thread that shows the dialogs: a task run there while a
  // dialog is up (by the dialog's own event loop) must not wait for that
  // dialog, or it would freeze it.
  virtual bool MayWaitForDialog() const { return true; }

  // The "Collecting random data" prompt: feeds input events to `sink` until
  // it reports kEntropySteps or the person closes the prompt.
  virtual void CollectEntropy(EntropySink& sink) = 0;

  // Effects of settings that are platform calls.
  // Keeps the computer from sleeping while `prevent` is set (`PreventSleep`).
  virtual void SetPreventSleep(bool prevent) = 0;
  // Opens or closes the local UDP port in the firewall (`OpenFirewall`).
  virtual void OpenFirewallPort(uint16_t port) = 0;
  virtual void CloseFirewallPort(uint16_t port) = 0;

  // The program's windows: made (shown or hidden) and closed in the order of
  // the start-up and shutdown sequences. A program without windows ignores
  // them. kChats closes every chat window at once.
  virtual void OpenWindow(AppWindow /*window*/, bool /*shown*/) {}
  virtual void CloseWindow(AppWindow /*window*/) {}
};

}  // namespace orv
