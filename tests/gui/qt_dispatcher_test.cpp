#include "gui/qt_dispatcher.hpp"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "gui/gui_caller.hpp"

namespace orv {
namespace {

constexpr int kWaitMs = 5000;  // bound of every wait for the event loop

TEST(QtDispatcherTest, TasksPostedFromOtherThreadsRunInOrderOnTheMainThread) {
  QtDispatcher dispatcher;
  std::vector<int> ran;
  std::atomic<int> off_thread{0};
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i)
      EXPECT_TRUE(dispatcher.Post([&, i] {
        if (!dispatcher.OnDispatcherThread()) ++off_thread;
        ran.push_back(i);
      }));
  });
  worker.join();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 100; }, kWaitMs));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(ran[i], i);
  EXPECT_EQ(off_thread.load(), 0);
}

TEST(QtDispatcherTest, TimerTicksUntilStoppedAndARestartReplacesIt) {
  QtDispatcher dispatcher;
  int first = 0, second = 0;
  EXPECT_FALSE(dispatcher.StartTimer(1, 0, [] {}));
  ASSERT_TRUE(dispatcher.StartTimer(1, 2, [&] { ++first; }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return first >= 3; }, kWaitMs));
  ASSERT_TRUE(dispatcher.StartTimer(1, 2, [&] { ++second; }));
  const int first_at_restart = first;
  ASSERT_TRUE(QTest::qWaitFor([&] { return second >= 3; }, kWaitMs));
  EXPECT_EQ(first, first_at_restart);
  dispatcher.StopTimer(1);
  dispatcher.StopTimer(42);  // unknown ids are fine
  const int second_at_stop = second;
  QTest::qWait(20);
  EXPECT_EQ(second, second_at_stop);
}

TEST(QtDispatcherTest, TimerStartedAndStoppedFromAWorker) {
  QtDispatcher dispatcher;
  std::atomic<int> ticks{0};
  std::atomic<bool> on_main{true};
  std::thread([&] {
    EXPECT_TRUE(dispatcher.StartTimer(7, 2, [&] {
      if (!dispatcher.OnDispatcherThread()) on_main = false;
      ++ticks;
    }));
  }).join();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, kWaitMs));
  EXPECT_TRUE(on_main.load());
  std::thread([&] { dispatcher.StopTimer(7); }).join();
  QTest::qWait(5);  // the queued stop reaches the main thread
  const int at_stop = ticks;
  QTest::qWait(20);
  EXPECT_EQ(ticks.load(), at_stop);
}

TEST(QtDispatcherTest, AfterShutdownNothingRunsAndPostsAreRefused) {
  QtDispatcher dispatcher;
  int ran = 0, ticks = 0;
  ASSERT_TRUE(dispatcher.Post([&] { ++ran; }));  // queued, never run
  ASSERT_TRUE(dispatcher.StartTimer(1, 1, [&] { ++ticks; }));
  dispatcher.Shutdown();
  EXPECT_FALSE(dispatcher.Post([&] { ++ran; }));
  EXPECT_FALSE(dispatcher.StartTimer(2, 1, [&] { ++ticks; }));
  QTest::qWait(20);
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(ticks, 0);
}

TEST(GuiCallerTest, WorkerWaitsForTheWorkOnTheGuiThreadAndTheGuiThreadRunsItAtOnce) {
  GuiCaller caller;
  bool inline_ran = false;
  EXPECT_TRUE(caller.Run([&] { inline_ran = caller.OnGuiThread(); }));
  EXPECT_TRUE(inline_ran);

  std::atomic<bool> worker_done{false};
  bool ran_on_gui = false;
  std::thread worker([&] {
    EXPECT_TRUE(caller.Run([&] { ran_on_gui = caller.OnGuiThread(); }));
    worker_done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return worker_done.load(); }, kWaitMs));
  worker.join();
  EXPECT_TRUE(ran_on_gui);
}

TEST(GuiCallerTest, StopLetsWaitingWorkersGoWithoutRunningTheirWork) {
  GuiCaller caller;
  std::atomic<int> ran{0};
  std::atomic<int> refused{0};
  std::vector<std::thread> workers;
  for (int i = 0; i < 3; ++i)
    workers.emplace_back([&] {
      if (!caller.Run([&] { ++ran; })) ++refused;
    });
  // The GUI thread is busy elsewhere (here: this test) and never runs the
  // queued work before the stop.
  QThread::msleep(20);
  caller.Stop();
  for (std::thread& w : workers) w.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(ran.load(), 0);
  EXPECT_EQ(refused.load(), 3);
  std::thread([&] { EXPECT_FALSE(caller.Run([&] { ++ran; })); }).join();
  EXPECT_TRUE(caller.Run([&] { ++ran; }));  // the GUI thread itself still runs work
  EXPECT_EQ(ran.load(), 1);
}

}  // namespace
}  // namespace orv
