#include "transfer/transfer_file.hpp"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>
#include <utility>

namespace orv {
namespace {

constexpr char kTemporaryPrefix[] = ".orv-transfer-";
constexpr char kTemporarySuffix[] = ".part";

std::string TemporaryName(uint32_t tag, uint32_t attempt) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%08x-%u%s", kTemporaryPrefix, tag, attempt, kTemporarySuffix);
  return name;
}

// ".orv-transfer-" eight hex digits "-" a number ".part".
bool IsTemporaryName(std::string_view name) {
  const std::string_view prefix = kTemporaryPrefix, suffix = kTemporarySuffix;
  if (name.size() < prefix.size() + 8 + 2 + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix))
    return false;
  name.remove_prefix(prefix.size());
  name.remove_suffix(suffix.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool ok = i < 8 ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                          : (i == 8 ? c == '-' : std::isdigit(static_cast<unsigned char>(c)) != 0);
    if (!ok) return false;
  }
  return true;
}

// rename without replacing; where the file system cannot do that in one
// step, a hard link and an unlink do the same.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

TransferFile::TransferFile(TransferFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_), temp_path_(std::move(other.temp_path_)) {
  other.temp_path_.clear();
}

TransferFile& TransferFile::operator=(TransferFile&& other) noexcept {
  if (this != &other) {
    Discard();
    fd_ = std::exchange(other.fd_, -1);
    error_ = other.error_;
    temp_path_ = std::move(other.temp_path_);
    other.temp_path_.clear();
  }
  return *this;
}

bool TransferFile::OpenForReading(const std::string& path, uint64_t& size) {
  Discard();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool TransferFile::Read(uint8_t* out, size_t n) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd_, out + got, n - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

bool TransferFile::CreateBeside(const std::string& target, uint32_t tag) {
  Discard();
  const std::string folder = FolderOf(target);
  for (uint32_t attempt = 0; attempt < 100; ++attempt) {
    const std::string path = folder + "/" + TemporaryName(tag, attempt);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      fd_ = fd;
      temp_path_ = path;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool TransferFile::Write(const uint8_t* data, size_t n) {
  size_t put = 0;
  while (put < n) {
    const ssize_t w = ::write(fd_, data + put, n - put);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      error_ = w == 0 ? ENOSPC : errno;
      return false;
    }
    put += static_cast<size_t>(w);
  }
  return true;
}

int TransferFile::Commit(const std::string& target, bool replace) {
  if (temp_path_.empty()) return EBADF;
  if (fd_ >= 0 && ::close(std::exchange(fd_, -1)) != 0) return EIO;
  const int result = replace ? (::rename(temp_path_.c_str(), target.c_str()) == 0 ? 0 : errno)
                             : RenameNoReplace(temp_path_, target);
  if (result == 0) temp_path_.clear();
  return result;
}

void TransferFile::Discard() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  if (!temp_path_.empty()) {
    ::unlink(temp_path_.c_str());
    temp_path_.clear();
  }
}

size_t SweepAbandonedParts(const std::string& folder, int64_t min_age_s) {
  if (folder.empty()) return 0;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return 0;
  const int dir_fd = ::dirfd(dir.get());
  const time_t now = ::time(nullptr);
  size_t removed = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (!IsTemporaryName(entry->d_name)) continue;
    struct stat st {};
    if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (st.st_uid != ::geteuid() || now - st.st_mtime < min_age_s) continue;
    if (::unlinkat(dir_fd, entry->d_name, 0) == 0) ++removed;
  }
  return removed;
}

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

bool PathTaken(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace orv
