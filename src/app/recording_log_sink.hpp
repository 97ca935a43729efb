// A LogSink that keeps every row, for tests to read.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/log_sink.hpp"

namespace orv {

class RecordingLogSink final : public LogSink {
 public:
  struct Row {
    std::string time;
    std::string source;
    std::string message;
    bool operator==(const Row&) const = default;
  };

  void AppendLogRow(std::string_view time, std::string_view source, std::string_view message) override {
    std::lock_guard lock(mutex_);
    rows_.push_back({std::string(time), std::string(source), std::string(message)});
  }

  std::vector<Row> rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Row> rows_;
};

}  // namespace orv
