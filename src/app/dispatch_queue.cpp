#include "app/dispatch_queue.hpp"

#include <utility>

namespace orv {

DispatchQueue::DispatchQueue(Clock clock) : clock_(std::move(clock)) {}

bool DispatchQueue::Post(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (closed_ || !task) return false;
    tasks_.push_back(std::move(task));
    ++changes_;
  }
  wake_.notify_one();
  return true;
}

bool DispatchQueue::StartTimer(TimerId id, uint32_t period_ms, Task task) {
  if (period_ms == 0 || !task) return false;
  const std::chrono::milliseconds period(period_ms);
  auto timer = std::make_shared<Timer>(Timer{period, clock_() + period, std::move(task)});
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    timers_[id] = std::move(timer);
    ++changes_;
  }
  wake_.notify_one();  // the new timer may be due before the one being waited for
  return true;
}

void DispatchQueue::StopTimer(TimerId id) {
  std::lock_guard lock(mutex_);
  timers_.erase(id);
}

bool DispatchQueue::ReadyLocked(TimePoint now) const {
  if (!tasks_.empty()) return true;
  const auto due = NextTimerDueLocked();
  return due && *due <= now;
}

std::optional<DispatchQueue::TimePoint> DispatchQueue::NextTimerDueLocked() const {
  std::optional<TimePoint> earliest;
  for (const auto& [id, timer] : timers_) {
    if (!earliest || timer->due < *earliest) earliest = timer->due;
  }
  return earliest;
}

std::optional<DispatchQueue::TimePoint> DispatchQueue::NextTimerDue() const {
  std::lock_guard lock(mutex_);
  return NextTimerDueLocked();
}

bool DispatchQueue::RunOne() {
  Task task;
  std::shared_ptr<Timer> tick;
  {
    std::lock_guard lock(mutex_);
    if (!tasks_.empty()) {
      task = std::move(tasks_.front());
      tasks_.pop_front();
    } else {
      const TimePoint now = clock_();
      for (const auto& [id, timer] : timers_) {
        if (timer->due <= now && (!tick || timer->due < tick->due)) tick = timer;
      }
      if (!tick) return false;
      tick->due += tick->period;
      if (tick->due <= now) tick->due = now + tick->period;  // missed ticks are not made up
    }
  }
  if (tick) {
    tick->task();
  } else {
    task();
  }
  return true;
}

void DispatchQueue::WaitForWork(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested() && !ReadyLocked(clock_())) {
    // Wakes for the next due time, or earlier when a task or timer arrives.
    const uint64_t seen = changes_;
    const auto changed = [this, seen] { return changes_ != seen; };
    if (const auto due = NextTimerDueLocked()) {
      wake_.wait_until(lock, stop, *due, changed);
    } else {
      wake_.wait(lock, stop, changed);
    }
  }
}

void DispatchQueue::Close() {
  std::deque<Task> tasks;
  std::map<TimerId, std::shared_ptr<Timer>> timers;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    tasks.swap(tasks_);
    timers.swap(timers_);
  }
  // Destroyed here, outside the lock: a task's captures may post on destruction.
}

}  // namespace orv
