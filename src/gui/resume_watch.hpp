// The return from sleep, for the port mapping to be made again. With a
// login manager on the system bus its PrepareForSleep signal says when
// the computer went to sleep and when it is back; without one the clocks
// are looked at once a second (SleepWatch). Only one of the two is used,
// so that each wake is reported once.
#pragma once

#include <functional>
#include <optional>

#include "app/dispatcher.hpp"
#include "platform/sleep_watch.hpp"

namespace orv {

// The sleep signal of the login manager, behind an interface so that the
// watch can be tried without a bus.
class SleepSignal {
 public:
  virtual ~SleepSignal() = default;
  // Starts listening: `changed` gets true as the computer goes to sleep and
  // false when it is back. False when there is nobody to listen to.
  virtual bool Listen(std::function<void(bool sleeping)> changed) = 0;
};

class ResumeWatch {
 public:
  // `resumed` runs on the interface thread, once per wake. `signal` may be
  // null (no bus); it must outlive the watch.
  ResumeWatch(Dispatcher& dispatcher, SleepSignal* signal, std::function<void()> resumed,
              SleepWatch::Reader clocks = SuspendedNanoseconds);
  ~ResumeWatch();
  ResumeWatch(const ResumeWatch&) = delete;
  ResumeWatch& operator=(const ResumeWatch&) = delete;

  // True when the login manager's signal is used, false for the clocks.
  bool on_bus() const { return !clocks_; }

 private:
  void SleepChanged(bool sleeping);

  Dispatcher& dispatcher_;
  std::function<void()> resumed_;
  std::optional<SleepWatch> clocks_;
  bool asleep_ = false;  // a "going to sleep" came and its wake did not yet
};

}  // namespace orv
