#include "app/log_format.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace orv {
namespace {

constexpr std::string_view kDatagramTypeNames[] = {
    "encoded", "ses_request", "ses_response", "ping_req", "ping_resp", "name_req", "name_resp",
    "ses_confirm", "ses_terminate", "busy", "reject", "confirmed", "UNKNOWN",
};

// Appends text with every "\n" written as CR LF.
void AppendCrLf(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
}

std::string_view DirectionText(TraceDirection d) { return d == TraceDirection::kSent ? "TX" : "RX"; }

TraceLine Finish(TraceLine line, int n) {
  line.size = n < 0 ? 0 : std::min(static_cast<size_t>(n), line.text.size() - 1);
  return line;
}

}  // namespace

LogTime LocalLogTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

TimeStamp FormatTimeStamp(const LogTime& t) {
  TimeStamp stamp;
  std::snprintf(stamp.text.data(), stamp.text.size(), "%02d/%02d/%02d %02d:%02d:%02d", t.year % 100, t.month, t.day,
                t.hour, t.minute, t.second);
  return stamp;
}

std::string_view DatagramTypeName(uint32_t type) { return kDatagramTypeNames[type < 12 ? type : 12]; }

void AppendStartLine(std::string& out, std::string_view stamp) {
  out += "\r\n\r\nLog started at ";
  out += stamp;
  out += ", ORV version ";
  out += kBuildText;
  out += "\r\n\r\n";
}

void AppendEndLine(std::string& out, std::string_view stamp) {
  out += "\r\n\r\nLog normaly finished at ";
  out += stamp;
  out += "\r\n\r\n";
}

void AppendEventLine(std::string& out, std::string_view stamp, std::string_view source, std::string_view message) {
  out += stamp;
  out += " - ";
  AppendCrLf(out, source);
  out += ":\t";
  AppendCrLf(out, message);
  out += "\r\n";
}

void AppendAddressUpdateLine(std::string& out, std::string_view text) {
  AppendCrLf(out, text);
  out += "\r\n";
}

TraceLine FormatPacketLine(std::string_view stamp, TraceDirection direction, uint32_t ipv4, uint16_t port,
                           const uint32_t* id, uint32_t type, int32_t size) {
  TraceLine line;
  const std::string_view name = DatagramTypeName(type);
  const int n = std::snprintf(
      line.text.data(), line.text.size(),
      "%.*s:\t%.*s\t%3u.%3u.%3u.%3u:%5u %08X %08X %08X %08X %08X %08X %08X %08X type %u (%.*s) size %d\r\n",
      static_cast<int>(stamp.size()), stamp.data(), 2, DirectionText(direction).data(), (ipv4 >> 24) & 0xFF,
      (ipv4 >> 16) & 0xFF, (ipv4 >> 8) & 0xFF, ipv4 & 0xFF, static_cast<unsigned>(port), id[0], id[1], id[2], id[3],
      id[4], id[5], id[6], id[7], type, static_cast<int>(name.size()), name.data(), size);
  return Finish(line, n);
}

TraceLine FormatDataLine(TraceDirection direction, const uint32_t* words) {
  TraceLine line;
  const int n = std::snprintf(line.text.data(), line.text.size(), "%.*s: data 0x%08X 0x%08X\r\n", 2,
                              DirectionText(direction).data(), words[0], words[1]);
  return Finish(line, n);
}

}  // namespace orv
