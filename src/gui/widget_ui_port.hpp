// The UI port of the desktop program: message boxes, questions, the
// password dialogs and the entropy prompt as Qt dialogs, and the program's
// windows through its AppWindowHost. Every call runs on the GUI thread: a
// call from a worker thread is queued there and only that worker waits for
// it. After StopAsking() workers are answered at once (no message, No,
// Cancel, no entropy) so that the shutdown can join them.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "app/ui_port.hpp"
#include "gui/gui_caller.hpp"

namespace orv {

class AppWindowHost;

class WidgetUiPort final : public UiPort {
 public:
  // Made on the GUI thread, after the QApplication.
  WidgetUiPort() = default;

  // The main window, once it exists; null again before it goes.
  void SetWindowHost(AppWindowHost* host) { host_ = host; }

  // From now on calls from worker threads are refused, and those waiting
  // are let go.
  void StopAsking() { caller_.Stop(); }

  // The text of the last message box, on one line: why the start-up
  // stopped, when it did.
  std::string last_message() const;

  void ShowMessage(std::string_view title, std::string_view text, MessageIcon icon) override;
  bool AskYesNo(std::string_view title, std::string_view text, MessageIcon icon) override;
  PasswordAnswer AskPassword(const PasswordRequest& request) override;
  void CollectEntropy(EntropySink& sink) override;
  // Keeping the computer awake and opening the firewall come with the
  // desktop integration over D-Bus; until then they do what orvd does.
  void SetPreventSleep(bool prevent) override;
  void OpenFirewallPort(uint16_t port) override;
  void CloseFirewallPort(uint16_t port) override;
  void OpenWindow(AppWindow window, bool shown) override;
  void CloseWindow(AppWindow window) override;

 private:
  QWidget* Owner() const;

  GuiCaller caller_;
  AppWindowHost* host_ = nullptr;
  mutable std::mutex mutex_;
  std::string last_message_;  // guarded by mutex_
};

}  // namespace orv
