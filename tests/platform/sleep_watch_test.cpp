#include "platform/sleep_watch.hpp"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(SleepWatch, ReportsEachSleepOnceAndIgnoresClockJitter) {
  int64_t suspended = 5'000'000'000;
  SleepWatch watch([&] { return suspended; });
  EXPECT_FALSE(watch.Resumed());
  suspended += 1'000'000;  // the two clocks drift apart a little
  EXPECT_FALSE(watch.Resumed());
  suspended += 60'000'000'000;  // a minute asleep
  EXPECT_TRUE(watch.Resumed());
  EXPECT_FALSE(watch.Resumed());
}

}  // namespace
}  // namespace orv
