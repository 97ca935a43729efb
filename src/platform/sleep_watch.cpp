#include "platform/sleep_watch.hpp"

#include <time.h>

namespace orv {
namespace {

constexpr int64_t kSleepThresholdNs = 2'000'000'000;

int64_t Read(clockid_t clock) {
  timespec t{};
  ::clock_gettime(clock, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

int64_t SuspendedNanoseconds() { return Read(CLOCK_BOOTTIME) - Read(CLOCK_MONOTONIC); }

SleepWatch::SleepWatch(Reader read) : read_(std::move(read)), last_(read_()) {}

bool SleepWatch::Resumed() {
  const int64_t now = read_();
  const bool resumed = now - last_ > kSleepThresholdNs;
  last_ = now;
  return resumed;
}

}  // namespace orv
