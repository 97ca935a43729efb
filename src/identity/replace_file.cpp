#include "identity/replace_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace orv {

ReplaceResult ReplaceFileContent(const std::string& path, const uint8_t* data, size_t size) {
  if (path.empty()) return ReplaceResult::kCannotOpen;
  const std::string temp = path + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return ReplaceResult::kCannotOpen;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool complete = done == size && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!complete || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return ReplaceResult::kShortWrite;
  }
  return ReplaceResult::kDone;
}

}  // namespace orv
