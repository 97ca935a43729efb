// The list side of the event log for a program with windows: rows logged on
// any thread wait in a queue and reach the "Log" window on the interface
// thread, in the order they were logged. A logging thread only takes a
// short lock and copies its three texts; one delivery task is posted for
// every batch, however many rows it holds.
//
// Rows logged before the window is there (the log starts just before the
// window is made) wait for it and are shown first when it comes. At most
// kMaxWaitingRows rows wait: beyond that, while the interface thread is
// stalled, further rows are not shown (the log file still has them), so a
// busy interface never holds a worker nor fills the memory.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/dispatcher.hpp"
#include "app/log_sink.hpp"

namespace orv {

struct LogRow {
  std::string time;
  std::string source;
  std::string message;
  bool operator==(const LogRow&) const = default;
};

// The window that shows the rows (interface thread).
class LogRowsView {
 public:
  virtual ~LogRowsView() = default;
  virtual void AppendLogRows(const std::vector<LogRow>& rows) = 0;
};

class QueuedLogSink final : public LogSink, public std::enable_shared_from_this<QueuedLogSink> {
 public:
  static constexpr size_t kMaxWaitingRows = 10000;

  // Made with std::make_shared: delivery tasks hold it weakly.
  explicit QueuedLogSink(Dispatcher& dispatcher);

  // Any thread.
  void AppendLogRow(std::string_view time, std::string_view source, std::string_view message) override;

  // Interface thread: the rows go to `view` from now on, the waiting ones
  // first; null: they wait again.
  void SetView(LogRowsView* view);

  // Any thread: nothing is posted to the dispatcher any more (it is about
  // to stop); rows are dropped.
  void Stop();

  // Rows waiting for the interface thread.
  size_t waiting() const;

 private:
  // Interface thread: hands the waiting rows to the view, when there is one.
  void Deliver();

  mutable std::mutex mutex_;
  Dispatcher* dispatcher_;         // guarded by mutex_; null once stopped
  std::vector<LogRow> waiting_;    // guarded by mutex_
  bool delivery_posted_ = false;   // guarded by mutex_
  LogRowsView* view_ = nullptr;    // interface thread only
};

// Shows the sink's rows in `view` while it lives. At its end the sink stops
// and lets the view go: made after the dispatcher and the view, it goes
// before them.
class LogViewLink {
 public:
  LogViewLink(QueuedLogSink& sink, LogRowsView& view) : sink_(sink) { sink_.SetView(&view); }
  ~LogViewLink() {
    sink_.Stop();
    sink_.SetView(nullptr);
  }
  LogViewLink(const LogViewLink&) = delete;
  LogViewLink& operator=(const LogViewLink&) = delete;

 private:
  QueuedLogSink& sink_;
};

}  // namespace orv
