// The interface thread as the core sees it: one thread that runs posted
// tasks in order and periodic timers. Worker threads never touch a
// controller directly; they post. `orv` runs it on the Qt main thread,
// `orvd` on an EventLoopDispatcher, tests on a ManualDispatcher.
#pragma once

#include <cstdint>
#include <functional>

namespace orv {

using Task = std::function<void()>;
using TimerId = uint32_t;

class Dispatcher {
 public:
  virtual ~Dispatcher() = default;

  // Queues `task` to run on the interface thread after every task queued
  // before it. Callable from any thread. False (the task is dropped) once
  // the dispatcher has stopped.
  virtual bool Post(Task task) = 0;

  // Starts timer `id`: `task` runs on the interface thread every
  // `period_ms`, the first time one period from now. Starting an id that
  // runs already replaces it. Ticks missed while the thread was busy are
  // not made up. False for a period of 0 or once stopped.
  virtual bool StartTimer(TimerId id, uint32_t period_ms, Task task) = 0;

  // Stops timer `id`; a tick that is running finishes. Unknown ids are fine.
  virtual void StopTimer(TimerId id) = 0;
};

}  // namespace orv
