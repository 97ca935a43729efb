// Captures the process-wide event log for one test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/event_log.hpp"
#include "app/recording_log_sink.hpp"

namespace orv::test {

class LogCapture {
 public:
  LogCapture() : sink_(std::make_shared<RecordingLogSink>()) {
    LogOptions options;
    options.sink = sink_;
    CreateLog(std::move(options), Settings{});
  }
  ~LogCapture() { CloseLog(); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> Messages(const std::string& source) const {
    std::vector<std::string> out;
    for (const auto& row : sink_->rows())
      if (row.source == source) out.push_back(row.message);
    return out;
  }

 private:
  std::shared_ptr<RecordingLogSink> sink_;
};

}  // namespace orv::test
