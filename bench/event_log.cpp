// Cost of the log on the paths every thread takes: an event line written
// to the file, a packet trace line (one per datagram), and both calls when
// no file is open (the common case: `EnableLog` is off by default).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "alloc_counter.hpp"
#include "app/event_log.hpp"

namespace orv {
namespace {

const uint32_t kPeer[8] = {0x01234567, 0x89ABCDEF, 0x02468ACE, 0x13579BDF, 0xFEDCBA98, 0x76543210, 0x0F0F0F0F,
                           0xF0F0F0F0};

// A log in a fresh temporary folder for the length of one benchmark.
class BenchLog {
 public:
  explicit BenchLog(bool enable_log) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/orv-bench-XXXXXX";
    if (::mkdtemp(pattern.data())) dir_ = pattern;
    Settings settings;
    settings.Log = dir_ + "/log.txt";
    settings.EnableLog = enable_log;
    settings.LogSize = 0;  // no rotation inside the measurement
    CreateLog(LogOptions{}, settings);
  }
  ~BenchLog() {
    CloseLog();
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  BenchLog(const BenchLog&) = delete;
  BenchLog& operator=(const BenchLog&) = delete;

 private:
  std::string dir_;
};

void BM_LogEventToFile(benchmark::State& state) {
  BenchLog log(true);
  if (!LogFileOpen()) state.SkipWithError("log file not open");
  AllocationReport report(state);
  for (auto _ : state) LogEvent("Network", "Session established, session id: 1A2B 3C4D 5E6F 7081 92A3");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogEventToFile)->Unit(benchmark::kMicrosecond);

void BM_TracePacket(benchmark::State& state) {
  BenchLog log(true);
  if (!LogFileOpen()) state.SkipWithError("log file not open");
  AllocationReport report(state);
  for (auto _ : state) TracePacket(TraceDirection::kReceived, 0xC0A80102, 31265, kPeer, 0, 120);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TracePacket)->Unit(benchmark::kMicrosecond);

void BM_LogEventWithoutFile(benchmark::State& state) {
  BenchLog log(false);
  AllocationReport report(state);
  for (auto _ : state) LogEvent("Network", "Session established, session id: 1A2B 3C4D 5E6F 7081 92A3");
}
BENCHMARK(BM_LogEventWithoutFile)->Unit(benchmark::kNanosecond);

void BM_TracePacketWithoutFile(benchmark::State& state) {
  BenchLog log(false);
  AllocationReport report(state);
  for (auto _ : state) TracePacket(TraceDirection::kReceived, 0xC0A80102, 31265, kPeer, 0, 120);
}
BENCHMARK(BM_TracePacketWithoutFile)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace orv
