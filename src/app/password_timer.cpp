#include "app/password_timer.hpp"

namespace orv {

PasswordTimer::PasswordTimer(PasswordService& service, std::chrono::milliseconds period)
    : service_(service), period_(period), thread_([this](std::stop_token stop) { Run(stop); }) {}

PasswordTimer::~PasswordTimer() {
  thread_.request_stop();
  thread_.join();
}

void PasswordTimer::Run(std::stop_token stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop.stop_requested()) {
    // Returns true when woken by the stop request, false on the time-out.
    if (wake_.wait_for(lock, stop, period_, [] { return false; }) || stop.stop_requested()) break;
    lock.unlock();
    service_.Tick();
    lock.lock();
  }
}

}  // namespace orv
