// A dispatcher that tests drive by hand: nothing runs until the test calls
// RunPending or AdvanceTime on its own thread, and time is a counter the
// test moves, so that timers fire without anyone sleeping. Posting from
// other threads is allowed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "app/dispatch_queue.hpp"
#include "app/dispatcher.hpp"

namespace orv {

class ManualDispatcher final : public Dispatcher {
 public:
  ManualDispatcher();
  ~ManualDispatcher() override;

  bool Post(Task task) override;
  bool StartTimer(TimerId id, uint32_t period_ms, Task task) override;
  void StopTimer(TimerId id) override;

  // Runs posted tasks (and what they post) and the timers due now, until
  // nothing is ready. Returns how many ran.
  size_t RunPending();

  // Moves time forward by `ms`, stopping at every timer due on the way so
  // that each tick runs at its own time, with the posted tasks in between.
  // A 1000 ms timer ticks three times in AdvanceTime(3000). Returns how many
  // tasks and ticks ran.
  size_t AdvanceTime(uint64_t ms);

  // Tasks posted so far (from any thread): a test waits for the one that
  // another thread is about to post.
  size_t Posted() const { return posted_.load(); }

  // Milliseconds since construction, as far as the dispatcher is concerned.
  uint64_t Now() const { return now_ms_.load(); }

 private:
  DispatchQueue::TimePoint TimeAt(uint64_t ms) const { return epoch_ + std::chrono::milliseconds(ms); }

  const DispatchQueue::TimePoint epoch_;
  std::atomic<uint64_t> now_ms_{0};
  std::atomic<size_t> posted_{0};
  DispatchQueue queue_;
};

}  // namespace orv
