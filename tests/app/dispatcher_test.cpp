#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/event_loop_dispatcher.hpp"
#include "app/manual_dispatcher.hpp"

namespace orv {
namespace {

using namespace std::chrono_literals;

// Bound on waits for the real loop. What is awaited is due at once; the
// bound only keeps a broken build from hanging the test run.
constexpr auto kSafetyBound = 20s;

TEST(ManualDispatcher, PostedTasksRunInOrderOnlyWhenDriven) {
  ManualDispatcher d;
  std::vector<int> ran;
  d.Post([&] {
    ran.push_back(1);
    d.Post([&] { ran.push_back(3); });  // posted by a task: runs after those queued before it
  });
  d.Post([&] { ran.push_back(2); });
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(d.RunPending(), 3u);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(d.Post(nullptr));
}

TEST(ManualDispatcher, TimersTickAtTheirOwnTimes) {
  ManualDispatcher d;
  std::vector<std::string> ticks;
  auto tick = [&](const char* name) { ticks.push_back(name + std::to_string(d.Now())); };
  ASSERT_TRUE(d.StartTimer(1, 1000, [&] { tick("a@"); }));
  ASSERT_TRUE(d.StartTimer(2, 400, [&] { tick("b@"); }));
  EXPECT_EQ(d.AdvanceTime(399), 0u);
  EXPECT_EQ(d.AdvanceTime(2601), 10u);  // up to 3000
  EXPECT_EQ(ticks, (std::vector<std::string>{"b@400", "b@800", "a@1000", "b@1200", "b@1600", "a@2000", "b@2000",
                                             "b@2400", "b@2800", "a@3000"}));
  EXPECT_EQ(d.Now(), 3000u);
  EXPECT_FALSE(d.StartTimer(3, 0, [] {}));
}

TEST(ManualDispatcher, StoppingAndReplacingTimers) {
  ManualDispatcher d;
  int ticks = 0;
  d.StartTimer(7, 100, [&] {
    if (++ticks == 2) d.StopTimer(7);  // a tick may stop its own timer
  });
  d.AdvanceTime(1000);
  EXPECT_EQ(ticks, 2);

  std::vector<std::string> seen;
  d.StartTimer(1, 100, [&] { seen.push_back("old"); });
  d.AdvanceTime(150);
  d.StartTimer(1, 300, [&] { seen.push_back("new@" + std::to_string(d.Now())); });  // replaces; counts from now
  d.AdvanceTime(700);
  EXPECT_EQ(seen, (std::vector<std::string>{"old", "new@1450", "new@1750"}));
  d.StopTimer(99);  // unknown ids are fine
}

TEST(ManualDispatcher, TasksPostedFromOtherThreadsAllRun) {
  ManualDispatcher d;
  int count = 0;  // touched only by the tasks, which run on this thread
  {
    std::vector<std::jthread> posters;
    for (int t = 0; t < 4; ++t) {
      posters.emplace_back([&] {
        for (int i = 0; i < 500; ++i) d.Post([&] { ++count; });
      });
    }
  }
  EXPECT_EQ(d.RunPending(), 2000u);
  EXPECT_EQ(count, 2000);
}

TEST(EventLoopDispatcher, RunsPostedTasksInOrderOnItsThread) {
  EventLoopDispatcher d;
  std::vector<int> order;
  std::promise<bool> done;
  for (int i = 0; i < 100; ++i) d.Post([&order, i] { order.push_back(i); });
  d.Post([&] { done.set_value(d.OnLoopThread()); });
  auto result = done.get_future();
  ASSERT_EQ(result.wait_for(kSafetyBound), std::future_status::ready);
  EXPECT_TRUE(result.get());
  EXPECT_FALSE(d.OnLoopThread());
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(EventLoopDispatcher, APostWakesALoopThatWaitsForAFarTimer) {
  EventLoopDispatcher d;
  d.StartTimer(1, 3'600'000, [] {});  // an hour away
  std::promise<void> ran;
  // Give the loop a moment to start waiting for the timer, then post.
  std::promise<void> waiting;
  d.Post([&] { waiting.set_value(); });
  ASSERT_EQ(waiting.get_future().wait_for(kSafetyBound), std::future_status::ready);
  d.Post([&] { ran.set_value(); });
  EXPECT_EQ(ran.get_future().wait_for(kSafetyBound), std::future_status::ready);
}

TEST(EventLoopDispatcher, TimerTicksUntilItStopsItself) {
  EventLoopDispatcher d;
  int ticks = 0;  // only the loop thread touches it until `stopped` is ready
  std::promise<void> stopped;
  d.StartTimer(5, 1, [&] {
    if (++ticks == 3) {
      d.StopTimer(5);
      stopped.set_value();
    }
  });
  ASSERT_EQ(stopped.get_future().wait_for(kSafetyBound), std::future_status::ready);
  // A task queued afterwards runs after any tick that could still follow.
  std::promise<int> after;
  d.Post([&] { after.set_value(ticks); });
  auto count = after.get_future();
  ASSERT_EQ(count.wait_for(kSafetyBound), std::future_status::ready);
  EXPECT_EQ(count.get(), 3);
}

TEST(EventLoopDispatcher, DestructionJoinsAndDropsWhatIsLeft) {
  auto ran = std::make_shared<std::atomic<int>>(0);
  auto released = std::make_shared<std::atomic<int>>(0);
  {
    EventLoopDispatcher d;
    std::promise<void> started;
    std::promise<void> release;
    auto release_future = release.get_future().share();
    d.Post([&, release_future] {
      started.set_value();
      release_future.wait();
    });
    ASSERT_EQ(started.get_future().wait_for(kSafetyBound), std::future_status::ready);
    // Queued behind the blocked task; each holds a guard that counts its release.
    for (int i = 0; i < 10; ++i) {
      auto guard = std::shared_ptr<void>(nullptr, [released](void*) { ++*released; });
      d.Post([ran, guard] { ++*ran; });
    }
    std::jthread releaser([&] { release.set_value(); });
  }  // the destructor waits for the running task, then drops the queued ones
  EXPECT_LE(ran->load(), 10);
  EXPECT_EQ(released->load(), 10);
}

}  // namespace
}  // namespace orv
