#include "transfer/transfer_view.hpp"

#include <cstdio>

namespace orv {
namespace {

struct TimeLeft {
  long long amount;
  const char* unit;
};

// Seconds left as the window words them: 24 "h" without a speed, then
// seconds up to a minute, minutes up to an hour, hours beyond.
TimeLeft TimeLeftFor(double speed, uint64_t remaining) {
  if (!(speed > 0)) return {24, "h"};
  const double seconds = static_cast<double>(remaining) / speed / 1000.0;
  if (seconds < 0) return {0, "sec"};
  // Past a year the exact figure means nothing; keep it within range.
  const long long whole = seconds > 1e12 ? 1000000000000LL : static_cast<long long>(seconds);
  if (whole <= 60) return {whole, "sec"};
  if (whole <= 3600) return {whole / 60, "min"};
  return {whole / 3600, "h"};
}

}  // namespace

const char* StateText(uint8_t state) {
  switch (state) {
    case kTransferWaiting: return "Waiting";
    case kTransferRequested: return "FILE TRANSFER REQUEST!";
    case kTransferCancelling: return "Cancelling Transfer";
    case kTransferCanceled: return "Transfer is canceled";
    case kTransferComplete: return "File received";
    case kTransferTimedOut: return "Connection timeout";
    default: return "";
  }
}

std::string QuantityText(uint64_t bytes) {
  static constexpr struct {
    uint64_t scale;
    const char* unit;
  } kUnits[] = {{1000000000000ULL, "TB"}, {1000000000ULL, "GB"}, {1000000ULL, "MB"}, {1000ULL, "KB"}, {1, "B"}};
  for (const auto& u : kUnits) {
    if (bytes >= u.scale || u.scale == 1) {
      char text[48];
      std::snprintf(text, sizeof text, "%llu %s", static_cast<unsigned long long>(bytes / u.scale), u.unit);
      return text;
    }
  }
  return "0 B";
}

std::string ProgressText(bool sending, uint64_t done, uint64_t size, uint64_t elapsed_100ns) {
  if (done > size) done = size;
  const double speed = elapsed_100ns ? static_cast<double>(done) * 10000.0 / static_cast<double>(elapsed_100ns) : 0.0;
  const TimeLeft left = TimeLeftFor(speed, size - done);
  char text[200];
  std::snprintf(text, sizeof text, "%s %s out of %s, speed %.2f KB/sec, time left %lld %s",
                sending ? "Transfered" : "Received", QuantityText(done).c_str(), QuantityText(size).c_str(), speed,
                left.amount, left.unit);
  return text;
}

uint32_t ProgressPercent(uint64_t next_block, uint64_t total_blocks) {
  if (total_blocks == 0) return 0;
  if (next_block >= total_blocks) return 100;
  if (next_block <= UINT64_MAX / 100) return static_cast<uint32_t>(next_block * 100 / total_blocks);
  return static_cast<uint32_t>(next_block / (total_blocks / 100));
}

}  // namespace orv
