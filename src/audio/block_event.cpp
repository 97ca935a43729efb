#include "audio/block_event.hpp"

namespace orv {

void BlockEvent::Set() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

void BlockEvent::Reset() {
  std::lock_guard<std::mutex> hold(mutex_);
  set_ = false;
}

bool BlockEvent::IsSet() {
  std::lock_guard<std::mutex> hold(mutex_);
  return set_;
}

bool BlockEvent::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(mutex_);
  if (!changed_.wait_for(hold, timeout, [this] { return set_; })) return false;
  set_ = false;
  return true;
}

bool BlockEvent::WaitSetUntil(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> hold(mutex_);
  return changed_.wait_until(hold, deadline, [this] { return set_; });
}

bool WaitForBoth(BlockEvent& a, BlockEvent& b, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // Only this thread resets the events, so once set they stay set.
  if (!a.WaitSetUntil(deadline) || !b.WaitSetUntil(deadline)) return false;
  a.Reset();
  b.Reset();
  return true;
}

}  // namespace orv
