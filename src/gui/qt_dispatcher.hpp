// The interface thread of `orv`: the Qt main thread. Posted tasks travel as
// queued calls through Qt's event loop, in the order they were posted;
// timers are QTimers owned by the main thread. Any thread may post, start
// or stop a timer; the timers themselves are made and dropped on the main
// thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include <QObject>

#include "app/dispatcher.hpp"

class QTimer;

namespace orv {

class QtDispatcher final : public Dispatcher {
 public:
  // Made on the thread that runs the Qt event loop.
  QtDispatcher();
  ~QtDispatcher() override;
  QtDispatcher(const QtDispatcher&) = delete;
  QtDispatcher& operator=(const QtDispatcher&) = delete;

  bool Post(Task task) override;
  bool StartTimer(TimerId id, uint32_t period_ms, Task task) override;
  void StopTimer(TimerId id) override;

  // Stops every timer and drops the tasks still queued; Post and StartTimer
  // return false from now on.
  void Shutdown();

  // True on the main thread.
  bool OnDispatcherThread() const;

 private:
  struct TimerEntry {
    uint64_t generation = 0;  // which start of the id this is
    uint32_t period_ms = 0;
    std::shared_ptr<Task> task;
  };

  bool Running() const;
  // Makes the QTimer of `id` follow its entry (main thread only).
  void SyncTimer(TimerId id);
  void DropTimer(TimerId id);
  // From other threads: SyncTimer queued to the main thread. Caller holds
  // mutex_, so that no queued call races the destructor.
  void QueueSync(TimerId id);
  void Tick(TimerId id, uint64_t generation);

  QObject context_;  // lives on the main thread; owns the QTimers
  mutable std::mutex mutex_;
  bool stopped_ = false;
  uint64_t next_generation_ = 1;
  std::map<TimerId, TimerEntry> entries_;  // guarded by mutex_
  // Main thread only: the running QTimer of each id and its generation.
  std::map<TimerId, std::pair<QTimer*, uint64_t>> timers_;
};

}  // namespace orv
