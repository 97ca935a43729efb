// Tells when the computer has woken from sleep. The boot-time clock runs on
// while the machine is suspended and the monotonic clock does not, so the
// distance between the two grows by the time slept. Looked at once a
// second, a growth of more than two seconds is a return from sleep.
#pragma once

#include <cstdint>
#include <functional>

namespace orv {

// Nanoseconds the machine has been suspended since it booted.
int64_t SuspendedNanoseconds();

class SleepWatch {
 public:
  using Reader = std::function<int64_t()>;
  explicit SleepWatch(Reader read = SuspendedNanoseconds);

  // True once for each return from sleep since the last call.
  bool Resumed();

 private:
  Reader read_;
  int64_t last_;
};

}  // namespace orv
