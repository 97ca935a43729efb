#include "settings/file_replace.hpp"

#include "identity/replace_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace orv {
namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

FileRead ReadFileLimited(const std::string& path, size_t limit) {
  FileRead result;
  // Non-blocking, so that a FIFO planted under the name cannot hang the reader.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    result.state = errno == ENOENT ? FileReadState::kMissing : FileReadState::kUnreadable;
    return result;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    result.state = FileReadState::kUnreadable;
    return result;
  }
  result.text.resize(std::min(limit, static_cast<size_t>(st.st_size)) + 1);
  size_t got = 0;
  // Reads until the end of the file or one byte past the limit, whatever
  // fstat said (the file may change under us).
  while (got < limit + 1) {
    if (got == result.text.size()) result.text.resize(std::min(limit + 1, 2 * got + 4096));
    const ssize_t n = ::read(fd.get(), result.text.data() + got, result.text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.text.clear();
      result.state = FileReadState::kUnreadable;
      return result;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (got > limit) {
    result.text.resize(limit);
    result.state = FileReadState::kOversized;
  } else {
    result.text.resize(got);
    result.state = FileReadState::kRead;
  }
  return result;
}

bool ReplaceFile(const std::string& path, std::string_view data, mode_t mode) {
  return ReplaceFileContent(path, reinterpret_cast<const uint8_t*>(data.data()), data.size(), mode) ==
         ReplaceResult::kDone;
}

}  // namespace orv
