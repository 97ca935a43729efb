// Runs a piece of work on the GUI thread for a worker thread and makes only
// that worker wait for it: the work is queued to the GUI thread's event
// loop, and the worker sleeps until it has run. On the GUI thread itself it
// runs at once, so a call never waits for its own thread.
//
// Stop() ends the waiting for good: workers that are still waiting are let
// go (their work will not run), and later calls from workers are refused.
// The program calls it after its event loop ended and before the shutdown
// joins the worker threads, so that no worker can hold the shutdown up.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include <QObject>

namespace orv {

class GuiCaller {
 public:
  // Made on the GUI thread.
  GuiCaller();
  ~GuiCaller();
  GuiCaller(const GuiCaller&) = delete;
  GuiCaller& operator=(const GuiCaller&) = delete;

  // Runs `work` on the GUI thread and returns when it has run (true), or
  // when it was refused or let go by Stop() without running (false).
  bool Run(const std::function<void()>& work);

  // True on the GUI thread.
  bool OnGuiThread() const;

  void Stop();

 private:
  struct Call;
  bool RunQueued(const std::function<void()>& work);

  QObject context_;  // lives on the GUI thread; the queued work is addressed to it
  std::mutex mutex_;
  bool stopped_ = false;
  std::set<std::shared_ptr<Call>> waiting_;  // guarded by mutex_
};

}  // namespace orv
