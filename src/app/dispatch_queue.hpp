// The queue behind the plain dispatchers: posted tasks in order, timers by
// their due time, read against an injected clock so that the same queue
// serves a real thread (steady clock) and tests (a clock they advance).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "app/dispatcher.hpp"

namespace orv {

class DispatchQueue {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Clock = std::function<TimePoint()>;

  explicit DispatchQueue(Clock clock);

  bool Post(Task task);
  bool StartTimer(TimerId id, uint32_t period_ms, Task task);
  void StopTimer(TimerId id);

  // Runs one thing that is ready, outside the lock: the oldest posted task,
  // or else the timer that has been due longest. False when nothing is ready.
  bool RunOne();

  // The earliest time a timer is due; none without timers.
  std::optional<TimePoint> NextTimerDue() const;

  // Blocks until something is ready or `stop` is requested.
  void WaitForWork(std::stop_token stop);

  // Drops every task and timer and refuses new ones.
  void Close();

 private:
  struct Timer {
    std::chrono::milliseconds period;
    TimePoint due;
    Task task;
  };

  // Must hold mutex_.
  bool ReadyLocked(TimePoint now) const;
  std::optional<TimePoint> NextTimerDueLocked() const;

  const Clock clock_;
  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  std::deque<Task> tasks_;
  // shared_ptr: a tick keeps its timer alive while it runs, even when the
  // tick itself stops or replaces the timer.
  std::map<TimerId, std::shared_ptr<Timer>> timers_;
  uint64_t changes_ = 0;  // counts posts and timer starts, to wake a waiting thread
  bool closed_ = false;
};

}  // namespace orv
