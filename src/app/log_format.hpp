// The lines of the log file, formatted exactly as they are written: local
// time stamps "yy/mm/dd hh:mm:ss", CR LF line ends (every "\n" of a line,
// including those inside a message, becomes CR LF, as a text-mode file
// writes it).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orv {

// The build text shown in the start line.
inline constexpr std::string_view kBuildText = "298";

struct LogTime {
  int year = 2000;  // full year; the stamp shows it modulo 100
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Where time stamps come from; injectable so that tests are deterministic.
using LogClock = std::function<LogTime()>;

// The local time now.
LogTime LocalLogTime();

// "%02d/%02d/%02d %02d:%02d:%02d": year modulo 100, month, day, hour, minute, second.
struct TimeStamp {
  std::array<char, 40> text{};
  std::string_view view() const { return text.data(); }
};
TimeStamp FormatTimeStamp(const LogTime& t);

enum class TraceDirection { kSent, kReceived };  // "TX", "RX"

// The datagram type's name; 12 and above are "UNKNOWN".
std::string_view DatagramTypeName(uint32_t type);

// Each appends one line kind to `out`.
void AppendStartLine(std::string& out, std::string_view stamp);
void AppendEndLine(std::string& out, std::string_view stamp);
void AppendEventLine(std::string& out, std::string_view stamp, std::string_view source, std::string_view message);
void AppendAddressUpdateLine(std::string& out, std::string_view text);

// Fixed-size lines, formatted into a buffer without allocating; return the length.
struct TraceLine {
  std::array<char, 256> text{};
  size_t size = 0;
  std::string_view view() const { return {text.data(), size}; }
};
// `user_id`: the eight words of the peer's UserId.
TraceLine FormatPacketLine(std::string_view stamp, TraceDirection direction, uint32_t ipv4, uint16_t port,
                           const uint32_t* user_id, uint32_t type, int32_t size);
// `words`: the two 32-bit words traced.
TraceLine FormatDataLine(TraceDirection direction, const uint32_t* words);

}  // namespace orv
