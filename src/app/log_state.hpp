// One event log: the list sink, the optional log file with its packet trace
// and rotation, and the log lock. The process-wide functions of
// event_log.hpp reach the one that exists; tests and benchmarks go through
// them too.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "app/log_file.hpp"
#include "app/log_format.hpp"
#include "app/log_sink.hpp"
#include "settings/settings.hpp"

namespace orv {

class UiPort;

struct LogOptions {
  std::shared_ptr<LogSink> sink;  // the list; none in a process without one
  UiPort* ui = nullptr;           // shows "Can't create log file"; must outlive the log
  LogClock clock;                 // time stamps; local time when empty
  std::FILE* echo = nullptr;      // event lines also go here, LF-ended (orvd: stdout)
};

class LogState {
 public:
  explicit LogState(LogOptions options);
  ~LogState();
  LogState(const LogState&) = delete;
  LogState& operator=(const LogState&) = delete;

  void Event(std::string_view source, std::string_view message);
  void Packet(TraceDirection direction, uint32_t ipv4, uint16_t port, const uint32_t* user_id, uint32_t type,
              int32_t size);
  void Data(TraceDirection direction, const uint32_t* words);
  void AddressUpdate(std::string_view text);
  void Reopen(const Settings& settings);
  void SetSizeLimit(int32_t megabytes);
  // Writes the end line, closes the file and stops the list; later calls do nothing.
  void Close();
  bool FileOpen() const { return file_open_.load(std::memory_order_relaxed); }

 private:
  TimeStamp Stamp() const;
  // Must hold mutex_.
  void EchoLocked(std::string_view stamp, std::string_view source, std::string_view message);
  void CloseFileLocked(std::string_view stamp);

  const LogOptions options_;
  // The log lock: every write to the file and every open, close and
  // rotation. Innermost: nothing else is locked or called while it is held.
  mutable std::mutex mutex_;
  LogFile file_;
  std::string line_;  // reused for every line, so that steady logging does not allocate
  std::atomic<bool> file_open_{false};
  std::atomic<int64_t> limit_bytes_{0};  // rotate beyond this; 0 never
  std::atomic<bool> closed_{false};
};

}  // namespace orv
