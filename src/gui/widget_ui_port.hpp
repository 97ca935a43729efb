// The UI port of the desktop program: message boxes, questions, the
// password dialogs and the entropy prompt as Qt dialogs, and the program's
// windows through its AppWindowHost. Every call runs on the GUI thread: a
// call from a worker thread is queued there and only that worker waits for
// it. After StopAsking() workers are answered at once (no message, No,
// Cancel, no entropy) so that the shutdown can join them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "app/ui_port.hpp"
#include "gui/firewall_ports.hpp"
#include "gui/gui_caller.hpp"
#include "gui/sleep_inhibitor.hpp"

namespace orv {

class AppWindowHost;

class WidgetUiPort final : public UiPort {
 public:
  // Made on the GUI thread, after the QApplication. The sleep inhibitor
  // and the firewall are logind's and firewalld's on the system bus.
  WidgetUiPort();
  // The same with other buses (the tests' fakes).
  WidgetUiPort(std::unique_ptr<SleepInhibitBus> sleep_bus, std::unique_ptr<FirewallBus> firewall);

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
  bool MayWaitForDialog() const override { return !caller_.OnGuiThread(); }
  void CollectEntropy(EntropySink& sink) override;
  // "Prevent the computer from sleeping": logind's sleep inhibitor, held
  // while the setting is on and until the port goes.
  void SetPreventSleep(bool prevent) override;
  // firewalld's default zone; without firewalld the diagnostics say so.
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
  SleepInhibitor sleep_;         // GUI thread only
  std::unique_ptr<FirewallBus> firewall_;
};

}  // namespace orv
