// The completion event of an audio device: set by the device each time it
// finishes a block, reset by the one thread that waits on it. Waiting for
// two events at once consumes neither unless both are set, so a signal is
// never lost to a wait that timed out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orv {

class BlockEvent {
 public:
  void Set();
  void Reset();
  bool IsSet();
  // Waits until set, up to `timeout`; consumes the signal (auto-reset).
  bool Wait(std::chrono::milliseconds timeout);
  // Waits until set without consuming it; false when `deadline` passed first.
  bool WaitSetUntil(std::chrono::steady_clock::time_point deadline);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// Waits up to `timeout` until both events are set, then resets both. On a
// time-out neither is consumed. Only the owner of both events may call it.
bool WaitForBoth(BlockEvent& a, BlockEvent& b, std::chrono::milliseconds timeout);

}  // namespace orv
