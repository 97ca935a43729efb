#include "app/queued_log_sink.hpp"

#include <utility>

namespace orv {

QueuedLogSink::QueuedLogSink(Dispatcher& dispatcher) : dispatcher_(&dispatcher) {}

void QueuedLogSink::AppendLogRow(std::string_view time, std::string_view source, std::string_view message) {
  std::lock_guard lock(mutex_);
  if (!dispatcher_ || waiting_.size() >= kMaxWaitingRows) return;
  waiting_.push_back({std::string(time), std::string(source), std::string(message)});
  if (delivery_posted_) return;  // the task on its way takes this row too
  // Posted under the lock, so that Stop never races a post to a dispatcher
  // that is going away.
  delivery_posted_ = dispatcher_->Post([weak = weak_from_this()] {
    if (const std::shared_ptr<QueuedLogSink> sink = weak.lock()) sink->Deliver();
  });
}

void QueuedLogSink::SetView(LogRowsView* view) {
  view_ = view;
  Deliver();
}

void QueuedLogSink::Stop() {
  std::lock_guard lock(mutex_);
  dispatcher_ = nullptr;
  waiting_.clear();
}

size_t QueuedLogSink::waiting() const {
  std::lock_guard lock(mutex_);
  return waiting_.size();
}

void QueuedLogSink::Deliver() {
  std::vector<LogRow> rows;
  {
    std::lock_guard lock(mutex_);
    delivery_posted_ = false;
    if (!view_) return;  // kept until a window comes
    rows.swap(waiting_);
  }
  // Outside the lock: loggers go on while the window draws.
  if (!rows.empty()) view_->AppendLogRows(rows);
}

}  // namespace orv
