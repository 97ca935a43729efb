#include "app/log_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace orv {
namespace {

// An appending descriptor holding an exclusive lock; -1 on failure.
int OpenLocked(const std::string& path, int64_t* size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  struct stat st {};
  // The log names peers and addresses: the user's alone, also when an
  // earlier run left it open to others.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      ((st.st_mode & 077) != 0 && ::fchmod(fd, 0600) != 0)) {
    ::close(fd);
    return -1;
  }
  *size = st.st_size;
  return fd;
}

}  // namespace

bool LogFile::Open(const std::string& path) {
  Close();
  fd_ = OpenLocked(path, &size_);
  if (fd_ < 0) return false;
  path_ = path;
  return true;
}

void LogFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

void LogFile::Write(std::string_view line) {
  if (fd_ < 0) return;
  while (!line.empty()) {
    const ssize_t n = ::write(fd_, line.data(), line.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // write errors are ignored
    size_ += n;
    line.remove_prefix(static_cast<size_t>(n));
  }
}

bool LogFile::Rotate() {
  if (fd_ < 0) return false;
  std::rename(path_.c_str(), (path_ + ".bak").c_str());
  // Closed first: when the move failed, the new descriptor is for the same
  // file, and the old one's lock would keep it out.
  ::close(fd_);
  fd_ = OpenLocked(path_, &size_);
  if (fd_ < 0) size_ = 0;
  return fd_ >= 0;
}

}  // namespace orv
