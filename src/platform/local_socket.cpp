#include "platform/local_socket.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orv {
namespace {

// The socket address of dir/name, with the folder's descriptor kept open
// while the address is used when the short form was needed.
class LocalAddress {
 public:
  LocalAddress(const std::string& dir, const std::string& name) {
    std::string path = dir + "/" + name;
    if (path.size() >= sizeof addr_.sun_path) {
      folder_.Reset(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!folder_.valid()) return;
      path = "/proc/self/fd/" + std::to_string(folder_.get()) + "/" + name;
      if (path.size() >= sizeof addr_.sun_path) return;
    }
    addr_.sun_family = AF_UNIX;
    std::memcpy(addr_.sun_path, path.c_str(), path.size() + 1);
    path_ = path;
    valid_ = true;
  }
  bool valid() const { return valid_; }
  const std::string& path() const { return path_; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&addr_); }
  socklen_t size() const { return static_cast<socklen_t>(sizeof addr_); }

 private:
  sockaddr_un addr_{};
  UniqueFd folder_;
  std::string path_;
  bool valid_ = false;
};

}  // namespace

UniqueFd ListenLocal(const std::string& dir, const std::string& name) {
  LocalAddress address(dir, name);
  if (!address.valid()) return {};
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return {};
  ::unlink(address.path().c_str());
  if (::bind(fd.get(), address.get(), address.size()) != 0 || ::listen(fd.get(), 4) != 0) return {};
  return fd;
}

UniqueFd ConnectLocal(const std::string& dir, const std::string& name) {
  LocalAddress address(dir, name);
  if (!address.valid()) return {};
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return {};
  int result;
  do {
    result = ::connect(fd.get(), address.get(), address.size());
  } while (result != 0 && errno == EINTR);
  if (result != 0) return {};
  return fd;
}

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string ReceiveLine(int fd, size_t limit, std::chrono::milliseconds timeout) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (line.size() < limit && (line.empty() || line.back() != '\n')) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return {};
    char c = 0;
    const ssize_t n = ::recv(fd, &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    line += c;
  }
  return line;
}

bool PeerIsSameUser(int fd) {
  ucred cred{};
  socklen_t size = sizeof cred;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 && cred.uid == ::getuid();
}

}  // namespace orv
