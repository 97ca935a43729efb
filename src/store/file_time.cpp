#include "store/file_time.hpp"

#include <chrono>
#include <cstdio>

namespace orv {
namespace {

// 100-ns units between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116'444'736'000'000'000;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochDays = 134'774;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's rule).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilTime CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
  return t;
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

// Reads one field of 1 to 4 decimal digits at `pos`; advances `pos`.
std::optional<int> ReadField(std::string_view text, size_t& pos) {
  int value = 0;
  size_t digits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++digits;
  }
  if (digits == 0 || (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')) return std::nullopt;
  return value;
}

}  // namespace

FileTime SystemFileTime() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const int64_t ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count() / 100;
  return static_cast<FileTime>(ticks + kUnixEpochTicks);
}

std::optional<FileTime> FileTimeFromCivil(const CivilTime& t) {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 ||
      t.second < 0 || t.second > 59)
    return std::nullopt;
  const int64_t days = DaysFromCivil(t.year, t.month, t.day) + kUnixEpochDays;
  const int64_t seconds = ((days * 24 + t.hour) * 60 + t.minute) * 60 + t.second;
  return static_cast<FileTime>(seconds) * kFileTimeTicksPerSecond;
}

CivilTime CivilFromFileTime(FileTime t) {
  const auto seconds = static_cast<int64_t>(t / kFileTimeTicksPerSecond);
  const int64_t days = seconds / 86400;
  const int64_t rest = seconds % 86400;
  CivilTime c = CivilFromDays(days - kUnixEpochDays);
  c.hour = static_cast<int>(rest / 3600);
  c.minute = static_cast<int>(rest / 60 % 60);
  c.second = static_cast<int>(rest % 60);
  return c;
}

std::string TimeText(FileTime t) {
  const CivilTime c = CivilFromFileTime(t);
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", c.year % 100, c.month, c.day, c.hour, c.minute,
                c.second);
  return text;
}

std::optional<FileTime> ReadTimeText(std::string_view text) {
  static constexpr char kSeparators[5] = {'/', '/', ' ', ':', ':'};
  int fields[6];
  size_t pos = 0;
  for (int i = 0; i < 6; ++i) {
    const auto field = ReadField(text, pos);
    if (!field) return std::nullopt;
    fields[i] = *field;
    if (i < 5) {
      if (pos >= text.size() || text[pos] != kSeparators[i]) return std::nullopt;
      ++pos;
    }
  }
  if (pos != text.size()) return std::nullopt;
  int year = fields[0];
  if (year < 100)
    year += 2000;
  else if (year < 2000 || year > 2099)
    return std::nullopt;
  return FileTimeFromCivil({year, fields[1], fields[2], fields[3], fields[4], fields[5]});
}

}  // namespace orv
