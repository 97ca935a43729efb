#include "gui/resume_watch.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "app/manual_dispatcher.hpp"

namespace orv {
namespace {

// The login manager's signal, sent by the test.
class FakeSleepSignal final : public SleepSignal {
 public:
  bool present = true;
  std::function<void(bool)> changed;
  bool Listen(std::function<void(bool sleeping)> listener) override {
    if (!present) return false;
    changed = std::move(listener);
    return true;
  }
};

// The clocks drift apart by `suspended` nanoseconds as a sleep moves them.
struct ResumeFixture {
  ManualDispatcher dispatcher;
  FakeSleepSignal signal;
  int64_t suspended = 0;
  int resumes = 0;
};

TEST(ResumeWatchTest, TheLoginManagerTellsEachWakeOnceOnTheInterfaceThread) {
  ResumeFixture f;
  ResumeWatch watch(f.dispatcher, &f.signal, [&f] { ++f.resumes; }, [&f] { return f.suspended; });
  ASSERT_TRUE(watch.on_bus());
  f.signal.changed(true);
  f.suspended += 60'000'000'000;  // a minute asleep
  f.signal.changed(false);
  EXPECT_EQ(f.resumes, 0);  // posted, not yet run
  f.dispatcher.RunPending();
  EXPECT_EQ(f.resumes, 1);
  // The clocks are not looked at besides: the same wake is not told twice.
  f.dispatcher.AdvanceTime(3000);
  EXPECT_EQ(f.resumes, 1);
  // A repeated "back", or one without a sleep before it, is no new wake.
  f.signal.changed(false);
  f.dispatcher.RunPending();
  EXPECT_EQ(f.resumes, 1);
  f.signal.changed(true);
  f.signal.changed(false);
  f.dispatcher.RunPending();
  EXPECT_EQ(f.resumes, 2);
}

// No system bus (no signal at all), or no login manager on it.
TEST(ResumeWatchTest, WithoutTheLoginManagerTheClocksTellEachWakeOnce) {
  for (const bool bus : {false, true}) {
    ResumeFixture f;
    f.signal.present = false;
    ResumeWatch watch(f.dispatcher, bus ? &f.signal : nullptr, [&f] { ++f.resumes; }, [&f] { return f.suspended; });
    ASSERT_FALSE(watch.on_bus());
    f.dispatcher.AdvanceTime(2000);
    EXPECT_EQ(f.resumes, 0);
    f.suspended += 60'000'000'000;
    f.dispatcher.AdvanceTime(3000);
    EXPECT_EQ(f.resumes, 1) << "bus " << bus;
  }
}

TEST(ResumeWatchTest, TheClockTimerStopsWithTheWatch) {
  ResumeFixture f;
  f.signal.present = false;
  {
    ResumeWatch watch(f.dispatcher, &f.signal, [&f] { ++f.resumes; }, [&f] { return f.suspended; });
  }
  f.suspended += 60'000'000'000;
  f.dispatcher.AdvanceTime(3000);
  EXPECT_EQ(f.resumes, 0);
}

}  // namespace
}  // namespace orv
