// The list side of the event log in a program with windows: rows logged on
// any thread reach the window on the interface thread, in order, waiting
// for the window when it is not there yet.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/manual_dispatcher.hpp"
#include "app/queued_log_sink.hpp"

namespace orv {
namespace {

class RecordingRowsView final : public LogRowsView {
 public:
  void AppendLogRows(const std::vector<LogRow>& added) override {
    rows.insert(rows.end(), added.begin(), added.end());
    ++batches;
  }
  std::vector<LogRow> rows;
  int batches = 0;
};

std::vector<std::string> Messages(const std::vector<LogRow>& rows) {
  std::vector<std::string> messages;
  for (const LogRow& row : rows) messages.push_back(row.message);
  return messages;
}

TEST(QueuedLogSinkTest, RowsWaitForTheWindowAndArriveInOrderOnTheInterfaceThreadInOneBatch) {
  ManualDispatcher dispatcher;
  const auto sink = std::make_shared<QueuedLogSink>(dispatcher);
  RecordingRowsView view;
  sink->AppendLogRow("26/12/11 02:00:00", "Main", "before the window");
  EXPECT_EQ(dispatcher.RunPending(), 1u);  // no window yet: the row waits
  EXPECT_EQ(sink->waiting(), 1u);
  sink->SetView(&view);
  EXPECT_EQ(view.rows, (std::vector<LogRow>{{"26/12/11 02:00:00", "Main", "before the window"}}));

  std::thread worker([&sink] {
    for (int i = 0; i < 100; ++i) sink->AppendLogRow("t", "Network", std::to_string(i));
  });
  worker.join();
  EXPECT_EQ(view.rows.size(), 1u);  // nothing reaches the window off the interface thread
  EXPECT_EQ(dispatcher.RunPending(), 1u);  // one delivery for the whole batch
  std::vector<std::string> expected{"before the window"};
  for (int i = 0; i < 100; ++i) expected.push_back(std::to_string(i));
  EXPECT_EQ(Messages(view.rows), expected);
  EXPECT_EQ(view.batches, 2);
}

TEST(QueuedLogSinkTest, AStalledInterfaceThreadKeepsABoundedQueueAndAStoppedSinkPostsNothing) {
  ManualDispatcher dispatcher;
  const auto sink = std::make_shared<QueuedLogSink>(dispatcher);
  RecordingRowsView view;
  sink->SetView(&view);
  for (size_t i = 0; i < QueuedLogSink::kMaxWaitingRows + 5; ++i) sink->AppendLogRow("t", "Main", std::to_string(i));
  EXPECT_EQ(sink->waiting(), QueuedLogSink::kMaxWaitingRows);
  dispatcher.RunPending();
  ASSERT_EQ(view.rows.size(), QueuedLogSink::kMaxWaitingRows);
  EXPECT_EQ(view.rows.back().message, std::to_string(QueuedLogSink::kMaxWaitingRows - 1));
  sink->AppendLogRow("t", "Main", "after the queue drained");
  sink->Stop();
  sink->AppendLogRow("t", "Main", "after the stop");
  dispatcher.RunPending();
  EXPECT_EQ(view.rows.back().message, std::to_string(QueuedLogSink::kMaxWaitingRows - 1));
  EXPECT_EQ(sink->waiting(), 0u);
}

TEST(QueuedLogSinkTest, ADeliveryThatFindsTheSinkGoneDoesNothing) {
  ManualDispatcher dispatcher;
  auto sink = std::make_shared<QueuedLogSink>(dispatcher);
  sink->AppendLogRow("t", "Main", "queued");
  sink.reset();
  EXPECT_EQ(dispatcher.RunPending(), 1u);
}

}  // namespace
}  // namespace orv
