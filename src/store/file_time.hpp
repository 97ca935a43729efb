// Times as the stored files keep them: 64-bit counts of 100-ns units since
// 1601-01-01 UTC, and the time text "%02d/%02d/%02d %02d:%02d:%02d" (year
// modulo 100, month, day, hour, minute, second, UTC) that the network,
// contacts and downloads files carry.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

using FileTime = uint64_t;

constexpr FileTime kFileTimeTicksPerSecond = 10'000'000;
constexpr FileTime kFileTimeTicksPerDay = 86'400 * kFileTimeTicksPerSecond;

// Where "now" comes from; tests give a fixed or stepped clock.
using FileTimeClock = std::function<FileTime()>;

// The current UTC time.
FileTime SystemFileTime();

struct CivilTime {
  int year = 1601;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The time of a calendar date; nullopt when the date does not exist
// (month 13, 31 April, 29 February outside leap years, times out of range)
// or lies before 1601.
std::optional<FileTime> FileTimeFromCivil(const CivilTime& t);
CivilTime CivilFromFileTime(FileTime t);

// "%02d/%02d/%02d %02d:%02d:%02d" of a UTC time.
std::string TimeText(FileTime t);

// Reads a time text: six fields of decimal digits separated by '/', '/',
// ' ', ':', ':' and nothing after them. The year is below 100 (meaning 2000
// plus the year) or from 2000 to 2099; month 1-12, day 1-31 and within its
// month, hour 0-23, minute and second 0-59. nullopt for anything else, and
// the caller keeps 0.
std::optional<FileTime> ReadTimeText(std::string_view text);

}  // namespace orv
