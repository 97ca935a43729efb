#include "gui/qt_dispatcher.hpp"

#include <QThread>
#include <QTimer>

namespace orv {

QtDispatcher::QtDispatcher() = default;

QtDispatcher::~QtDispatcher() {
  Shutdown();
  // The QTimers are children of context_ and go with it.
}

bool QtDispatcher::OnDispatcherThread() const { return QThread::currentThread() == context_.thread(); }

bool QtDispatcher::Running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !stopped_;
}

bool QtDispatcher::Post(Task task) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_) return false;
  // Posted under the lock, so that Shutdown (and the destructor after it)
  // never races a post to context_.
  QMetaObject::invokeMethod(
      &context_,
      [this, task = std::move(task)] {
        if (Running()) task();
      },
      Qt::QueuedConnection);
  return true;
}

bool QtDispatcher::StartTimer(TimerId id, uint32_t period_ms, Task task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_ || period_ms == 0) return false;
    entries_[id] = TimerEntry{next_generation_++, period_ms, std::make_shared<Task>(std::move(task))};
    if (!OnDispatcherThread()) {
      QueueSync(id);
      return true;
    }
  }
  SyncTimer(id);
  return true;
}

void QtDispatcher::StopTimer(TimerId id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.erase(id) == 0 || stopped_) return;
    if (!OnDispatcherThread()) {
      QueueSync(id);
      return;
    }
  }
  SyncTimer(id);
}

void QtDispatcher::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    entries_.clear();
  }
  if (!OnDispatcherThread()) return;  // the ticks find no entry and do nothing
  while (!timers_.empty()) DropTimer(timers_.begin()->first);
}

void QtDispatcher::QueueSync(TimerId id) {
  QMetaObject::invokeMethod(&context_, [this, id] { SyncTimer(id); }, Qt::QueuedConnection);
}

void QtDispatcher::SyncTimer(TimerId id) {
  uint64_t generation = 0;
  uint32_t period_ms = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto entry = entries_.find(id);
    if (entry != entries_.end()) {
      generation = entry->second.generation;
      period_ms = entry->second.period_ms;
    }
  }
  auto running = timers_.find(id);
  if (running != timers_.end() && running->second.second == generation) return;
  DropTimer(id);
  if (generation == 0) return;
  auto* timer = new QTimer(&context_);  // owned by context_
  QObject::connect(timer, &QTimer::timeout, &context_, [this, id, generation] { Tick(id, generation); });
  timer->start(static_cast<int>(period_ms));
  timers_[id] = {timer, generation};
}

void QtDispatcher::DropTimer(TimerId id) {
  auto running = timers_.find(id);
  if (running == timers_.end()) return;
  QTimer* timer = running->second.first;
  timers_.erase(running);
  timer->stop();
  timer->disconnect();
  timer->deleteLater();  // it may be the timer whose tick is running
}

void QtDispatcher::Tick(TimerId id, uint64_t generation) {
  std::shared_ptr<Task> task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto entry = entries_.find(id);
    if (entry == entries_.end() || entry->second.generation != generation) return;
    task = entry->second.task;
  }
  (*task)();
}

}  // namespace orv
