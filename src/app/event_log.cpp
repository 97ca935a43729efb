#include "app/event_log.hpp"

#include <memory>
#include <mutex>
#include <utility>

namespace orv {
namespace {

// The process-wide log. The mutex guards only the pointer; the log's own
// lock guards its file.
std::mutex g_log_mutex;
std::shared_ptr<LogState> g_log;

std::shared_ptr<LogState> CurrentLog() {
  std::lock_guard lock(g_log_mutex);
  return g_log;
}

std::shared_ptr<LogState> ExchangeLog(std::shared_ptr<LogState> next) {
  std::lock_guard lock(g_log_mutex);
  return std::exchange(g_log, std::move(next));
}

}  // namespace

void CreateLog(LogOptions options, const Settings& settings) {
  auto log = std::make_shared<LogState>(std::move(options));
  if (auto old = ExchangeLog(log)) old->Close();
  log->Reopen(settings);
}

void ReopenLog(const Settings& settings) {
  if (auto log = CurrentLog()) log->Reopen(settings);
}

void SetLogSize(int32_t megabytes) {
  if (auto log = CurrentLog()) log->SetSizeLimit(megabytes);
}

void CloseLog() {
  if (auto log = ExchangeLog(nullptr)) log->Close();
}

void LogEvent(std::string_view source, std::string_view message) {
  if (auto log = CurrentLog()) log->Event(source, message);
}

void TracePacket(TraceDirection direction, uint32_t ipv4, uint16_t port, const uint32_t* user_id, uint32_t type,
                 int32_t size) {
  if (auto log = CurrentLog()) log->Packet(direction, ipv4, port, user_id, type, size);
}

void TraceData(TraceDirection direction, const uint32_t* words) {
  if (auto log = CurrentLog()) log->Data(direction, words);
}

void TraceAddressUpdate(std::string_view text) {
  if (auto log = CurrentLog()) log->AddressUpdate(text);
}

bool LogFileOpen() {
  auto log = CurrentLog();
  return log && log->FileOpen();
}

}  // namespace orv
