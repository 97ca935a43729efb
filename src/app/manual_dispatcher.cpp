#include "app/manual_dispatcher.hpp"

namespace orv {

ManualDispatcher::ManualDispatcher()
    : epoch_(std::chrono::steady_clock::time_point{}), queue_([this] { return TimeAt(now_ms_.load()); }) {}

ManualDispatcher::~ManualDispatcher() { queue_.Close(); }

bool ManualDispatcher::Post(Task task) {
  const bool queued = queue_.Post(std::move(task));
  if (queued) posted_.fetch_add(1);
  return queued;
}

bool ManualDispatcher::StartTimer(TimerId id, uint32_t period_ms, Task task) {
  return queue_.StartTimer(id, period_ms, std::move(task));
}

void ManualDispatcher::StopTimer(TimerId id) { queue_.StopTimer(id); }

size_t ManualDispatcher::RunPending() {
  size_t ran = 0;
  while (queue_.RunOne()) ++ran;
  return ran;
}

size_t ManualDispatcher::AdvanceTime(uint64_t ms) {
  const uint64_t target = now_ms_.load() + ms;
  size_t ran = RunPending();
  for (;;) {
    const auto due = queue_.NextTimerDue();
    if (!due || *due > TimeAt(target)) break;
    const auto at = std::chrono::duration_cast<std::chrono::milliseconds>(*due - epoch_).count();
    if (static_cast<uint64_t>(at) > now_ms_.load()) now_ms_.store(static_cast<uint64_t>(at));
    ran += RunPending();
  }
  now_ms_.store(target);
  return ran + RunPending();
}

}  // namespace orv
