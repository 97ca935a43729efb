// SIGINT and SIGTERM (Ctrl+C in a terminal, the session ending) end the
// desktop program the way "Exit" does: the handler only writes a byte to a
// pipe, and the event loop, seeing it, calls `stop` on the GUI thread, so
// that the shutdown sequence runs in full.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace orv {

class StopSignals {
 public:
  // Made once, on the GUI thread; the handlers stay until it goes.
  explicit StopSignals(std::function<void()> stop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // False when the pipe could not be made (the signals then end the
  // program as they do by default).
  bool active() const { return notifier_ != nullptr; }

 private:
  std::function<void()> stop_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orv
