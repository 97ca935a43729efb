#include <gtest/gtest.h>

#include "store/file_time.hpp"

namespace orv {
namespace {

FileTime At(int y, int mo, int d, int h, int mi, int s) { return *FileTimeFromCivil({y, mo, d, h, mi, s}); }

struct TimeCase {
  const char* text;
  std::optional<FileTime> expected;
};

TEST(TimeText, AcceptsExactlyTheSixFieldsInRange) {
  const TimeCase cases[] = {
      {"14/04/20 13:05:09", At(2014, 4, 20, 13, 5, 9)},
      {"00/01/01 00:00:00", At(2000, 1, 1, 0, 0, 0)},
      {"99/12/31 23:59:59", At(2099, 12, 31, 23, 59, 59)},
      {"2014/04/20 13:05:09", At(2014, 4, 20, 13, 5, 9)},  // a four-digit year from 2000 to 2099
      {"2099/1/2 3:4:5", At(2099, 1, 2, 3, 4, 5)},         // fields without leading zeros
      {"24/02/29 12:00:00", At(2024, 2, 29, 12, 0, 0)},    // a leap day
      {"14/13/20 13:05:09", std::nullopt},                 // month 13
      {"14/00/20 13:05:09", std::nullopt},                 // month 0
      {"14/04/20 24:00:00", std::nullopt},                 // hour 24
      {"14/04/00 10:00:00", std::nullopt},                 // day 0
      {"14/04/32 10:00:00", std::nullopt},                 // day 32
      {"14/04/31 10:00:00", std::nullopt},                 // 31 April does not exist
      {"23/02/29 10:00:00", std::nullopt},                 // nor 29 February 2023
      {"14/04/20 13:60:00", std::nullopt},                 // minute 60
      {"14/04/20 13:05:60", std::nullopt},                 // second 60
      {"1999/04/20 13:05:09", std::nullopt},               // year below 2000
      {"2100/04/20 13:05:09", std::nullopt},               // year after 2099
      {"100/04/20 13:05:09", std::nullopt},                // three-digit year
      {"14-04-20 13:05:09", std::nullopt},                 // other separators
      {"14/04/20T13:05:09", std::nullopt},
      {"14/04/20 13:05", std::nullopt},                    // five fields
      {"14/04/20 13:05:09 ", std::nullopt},                // text after the fields
      {" 14/04/20 13:05:09", std::nullopt},                // text before them
      {"14/04/-1 13:05:09", std::nullopt},                 // signs
      {"14/04/+2 13:05:09", std::nullopt},
      {"14/04/20 13:05:00009", std::nullopt},              // overlong field
      {"", std::nullopt},
      {"yesterday", std::nullopt},
  };
  for (const TimeCase& c : cases) EXPECT_EQ(ReadTimeText(c.text), c.expected) << c.text;
}

TEST(TimeText, WritesYearModulo100AndReadsBack) {
  const FileTime t = At(2014, 4, 20, 13, 5, 9);
  EXPECT_EQ(TimeText(t), "14/04/20 13:05:09");
  EXPECT_EQ(TimeText(t + 9'999'999), "14/04/20 13:05:09");  // parts of a second are dropped
  EXPECT_EQ(TimeText(At(2001, 12, 3, 4, 5, 6)), "01/12/03 04:05:06");
  EXPECT_EQ(ReadTimeText(TimeText(t)), t);
}

TEST(TimeText, FileTimeCountsFrom1601) {
  EXPECT_EQ(FileTimeFromCivil({1601, 1, 1, 0, 0, 0}), 0u);
  EXPECT_EQ(FileTimeFromCivil({1970, 1, 1, 0, 0, 0}), 116'444'736'000'000'000u);
  const FileTime now = SystemFileTime();
  EXPECT_GT(now, At(2020, 1, 1, 0, 0, 0));
  const CivilTime c = CivilFromFileTime(At(2024, 2, 29, 23, 59, 58));
  EXPECT_EQ(c.year, 2024);
  EXPECT_EQ(c.month, 2);
  EXPECT_EQ(c.day, 29);
  EXPECT_EQ(c.hour, 23);
  EXPECT_EQ(c.minute, 59);
  EXPECT_EQ(c.second, 58);
}

}  // namespace
}  // namespace orv
