// The interface thread of `orvd`: a plain event loop on its own thread. It
// stops and joins when destroyed; tasks still queued then are dropped.
#pragma once

#include <thread>

#include "app/dispatch_queue.hpp"
#include "app/dispatcher.hpp"

namespace orv {

class EventLoopDispatcher final : public Dispatcher {
 public:
  EventLoopDispatcher();
  ~EventLoopDispatcher() override;
  EventLoopDispatcher(const EventLoopDispatcher&) = delete;
  EventLoopDispatcher& operator=(const EventLoopDispatcher&) = delete;

  bool Post(Task task) override;
  bool StartTimer(TimerId id, uint32_t period_ms, Task task) override;
  void StopTimer(TimerId id) override;

  // True on the loop's own thread (for checks that code runs where it must).
  bool OnLoopThread() const;

 private:
  void Run(std::stop_token stop);

  DispatchQueue queue_;
  std::jthread thread_;  // last: started after the queue exists, joined before it goes
};

}  // namespace orv
