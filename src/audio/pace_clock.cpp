#include "audio/pace_clock.hpp"

#include <chrono>

namespace orv {
namespace {

int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SteadyPaceClock::SteadyPaceClock() : start_(SteadyNanoseconds()) {}

int64_t SteadyPaceClock::Now() { return SteadyNanoseconds() - start_; }

bool SteadyPaceClock::WaitUntil(int64_t deadline, std::stop_token stop) {
  const auto until = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(start_ + deadline));
  std::unique_lock<std::mutex> hold(mutex_);
  never_.wait_until(hold, stop, until, [] { return false; });
  return !stop.stop_requested();
}

int64_t ManualPaceClock::Now() {
  std::lock_guard<std::mutex> hold(mutex_);
  return now_;
}

bool ManualPaceClock::WaitUntil(int64_t deadline, std::stop_token stop) {
  std::unique_lock<std::mutex> hold(mutex_);
  return moved_.wait(hold, stop, [&] { return now_ >= deadline; });
}

void ManualPaceClock::Advance(int64_t nanoseconds) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    now_ += nanoseconds;
  }
  moved_.notify_all();
}

}  // namespace orv
