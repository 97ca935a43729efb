// "Prevent the computer from sleeping": while the setting is on, the
// program holds the login manager's sleep inhibitor, a file descriptor
// that blocks sleep for as long as it stays open. Turning the setting off
// (or the program ending) closes it. Without a login manager on the system
// bus nothing is held, and that is said once.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/unique_fd.hpp"

namespace orv {

// The login manager's Inhibit call, behind an interface so that the
// inhibitor can be tried without a bus.
class SleepInhibitBus {
 public:
  virtual ~SleepInhibitBus() = default;
  // False when there is no system bus or no login manager on it.
  virtual bool Available() = 0;
  // org.freedesktop.login1.Manager.Inhibit(what, who, why, mode): the lock's
  // descriptor, or an invalid one with `error` saying why it was refused.
  virtual UniqueFd Inhibit(const std::string& what, const std::string& who, const std::string& why,
                           const std::string& mode, std::string& error) = 0;
};

// The logind one on the system bus (QtDBus); the bus is first looked at on
// the first call.
std::unique_ptr<SleepInhibitBus> MakeLogindInhibitBus();

class SleepInhibitor {
 public:
  using Log = std::function<void(const std::string& text)>;
  SleepInhibitor(std::unique_ptr<SleepInhibitBus> bus, Log log);

  // Takes the inhibitor (on) or lets it go (off). Taking it again while it
  // is held does nothing.
  void Set(bool prevent);
  bool held() const { return lock_.valid(); }

 private:
  void Take();

  std::unique_ptr<SleepInhibitBus> bus_;
  Log log_;
  UniqueFd lock_;
  bool no_bus_reported_ = false;
};

}  // namespace orv
