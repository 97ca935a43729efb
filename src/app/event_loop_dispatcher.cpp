#include "app/event_loop_dispatcher.hpp"

namespace orv {

EventLoopDispatcher::EventLoopDispatcher()
    : queue_([] { return std::chrono::steady_clock::now(); }),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

EventLoopDispatcher::~EventLoopDispatcher() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
  queue_.Close();
}

bool EventLoopDispatcher::Post(Task task) { return queue_.Post(std::move(task)); }

bool EventLoopDispatcher::StartTimer(TimerId id, uint32_t period_ms, Task task) {
  return queue_.StartTimer(id, period_ms, std::move(task));
}

void EventLoopDispatcher::StopTimer(TimerId id) { queue_.StopTimer(id); }

bool EventLoopDispatcher::OnLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }

void EventLoopDispatcher::Run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    queue_.WaitForWork(stop);
    while (!stop.stop_requested() && queue_.RunOne()) {
    }
  }
}

}  // namespace orv
