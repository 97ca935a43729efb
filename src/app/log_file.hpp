// The open log file: appended to, one whole line per write (so every line
// reaches the file at once and the file is complete after a crash), held
// with an exclusive lock so that no other process writes into it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

class LogFile {
 public:
  LogFile() = default;
  ~LogFile() { Close(); }
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Opens `path` for appending, creating it. False when it cannot be opened
  // or another writer holds it.
  bool Open(const std::string& path);
  void Close();
  bool is_open() const { return fd_ >= 0; }

  // Appends `line`; write errors are ignored.
  void Write(std::string_view line);

  // Bytes in the file: its size at opening plus what was written since.
  int64_t size() const { return size_; }

  // Moves the file to `path` + ".bak" (replacing an older one) and goes on
  // in a new empty file under `path`. When the move fails no ".bak" is made
  // and writing goes on at the end of the same file (nothing is truncated).
  // False when no file could be opened afterwards; logging to file then stops.
  bool Rotate();

 private:
  int fd_ = -1;
  int64_t size_ = 0;
  std::string path_;
};

}  // namespace orv
