#include "gui/gui_caller.hpp"

#include <QThread>

namespace orv {

// One queued piece of work and the worker waiting for it.
struct GuiCaller::Call {
  std::mutex mutex;
  std::condition_variable changed;
  bool running = false;  // the GUI thread took it: it will finish
  bool done = false;
  bool released = false;  // Stop() let the worker go before it ran
};

GuiCaller::GuiCaller() = default;

GuiCaller::~GuiCaller() { Stop(); }

bool GuiCaller::OnGuiThread() const { return QThread::currentThread() == context_.thread(); }

bool GuiCaller::Run(const std::function<void()>& work) {
  if (OnGuiThread()) {
    work();
    return true;
  }
  return RunQueued(work);
}

bool GuiCaller::RunQueued(const std::function<void()>& work) {
  auto call = std::make_shared<Call>();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return false;
    waiting_.insert(call);
    // `work` lives on the worker's stack; it is only touched while the
    // worker still waits, which `running` guarantees.
    QMetaObject::invokeMethod(
        &context_,
        [call, &work] {
          {
            std::lock_guard<std::mutex> g(call->mutex);
            if (call->released) return;
            call->running = true;
          }
          work();
          std::lock_guard<std::mutex> g(call->mutex);
          call->done = true;
          call->changed.notify_all();
        },
        Qt::QueuedConnection);
  }
  bool done = false;
  {
    std::unique_lock<std::mutex> lock(call->mutex);
    call->changed.wait(lock, [&] { return call->done || call->released; });
    done = call->done;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.erase(call);
  return done;
}

void GuiCaller::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = true;
  for (const std::shared_ptr<Call>& call : waiting_) {
    std::lock_guard<std::mutex> g(call->mutex);
    // Work that runs already is on the GUI thread's stack below us only
    // if Stop() was called from inside it; it finishes and wakes its worker.
    if (call->running) continue;
    call->released = true;
    call->changed.notify_all();
  }
}

}  // namespace orv
