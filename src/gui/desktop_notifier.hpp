// Shows desktop notifications: through the desktop's notification server
// (org.freedesktop.Notifications on the session bus), or as the tray
// icon's message where there is no such server.
#pragma once

#include <functional>
#include <memory>

#include "gui/desktop_notice.hpp"

namespace orv {

// The notification server, behind an interface so that the notifier can
// be tried without a bus.
class NotificationBus {
 public:
  virtual ~NotificationBus() = default;
  // Sends the notice; false when no server is there to show it.
  virtual bool Notify(const DesktopNotice& notice) = 0;
};

// org.freedesktop.Notifications on the session bus; the server is looked
// for once, and the notices are sent without waiting for its answer.
std::unique_ptr<NotificationBus> MakeFreedesktopNotifications();

class DesktopNotifier {
 public:
  // `fallback` shows a notice some other way (the tray icon's message);
  // false when it cannot either.
  using Fallback = std::function<bool(const DesktopNotice&)>;
  DesktopNotifier(std::unique_ptr<NotificationBus> bus, Fallback fallback);

  // False when the notice could be shown nowhere.
  bool Notify(const DesktopNotice& notice);

 private:
  std::unique_ptr<NotificationBus> bus_;
  Fallback fallback_;
};

}  // namespace orv
