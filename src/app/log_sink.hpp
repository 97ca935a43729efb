// The list side of the event log: the "Log" window in `orv`, a recorder in
// tests. Rows are only ever appended.
#pragma once

#include <string_view>

namespace orv {

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Appends one row. Called from any thread, outside every log lock; must
  // return quickly (the GUI queues the row for its own thread) and must not
  // log itself.
  virtual void AppendLogRow(std::string_view time, std::string_view source, std::string_view message) = 0;
};

}  // namespace orv
