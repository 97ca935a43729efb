#include "identity/replace_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace orv {
namespace {

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;  // nothing taken: the disk is full
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

ReplaceResult ReplaceFileContent(const std::string& path, const uint8_t* data, size_t size, mode_t mode) {
  if (path.empty()) return ReplaceResult::kCannotOpen;
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return ReplaceResult::kCannotOpen;
  bool done = ::fchmod(fd, mode) == 0 && WriteAll(fd, data, size) && ::fsync(fd) == 0;
  int error = done ? 0 : errno;
  done = ::close(fd) == 0 && done;
  if (done && std::rename(temp.c_str(), path.c_str()) != 0) done = false;
  if (!done) {
    if (error == 0) error = errno;
    ::unlink(temp.c_str());
    // The caller may name the reason: errno is that of the step that failed.
    errno = error;
    return ReplaceResult::kShortWrite;
  }
  return ReplaceResult::kDone;
}

}  // namespace orv
