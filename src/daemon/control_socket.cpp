#include "daemon/control_socket.hpp"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace orv {
namespace {

bool FillAddress(const std::string& path, sockaddr_un& address, std::string& error) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    error = "control socket path too long (at most " + std::to_string(sizeof address.sun_path - 1) +
            " bytes): " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// A socket file at `path` that nobody listens on any more is removed.
bool ClearStaleSocket(const std::string& path, const sockaddr_un& address, std::string& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return true;
    error = SystemError("can't check", path);
    return false;
  }
  if (!S_ISSOCK(info.st_mode)) {
    error = path + " exists and is not a socket";
    return false;
  }
  UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!probe.valid()) {
    error = SystemError("can't create a socket for", path);
    return false;
  }
  if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    error = "another orvd already listens on " + path;
    return false;
  }
  if (errno != ECONNREFUSED || (::unlink(path.c_str()) != 0 && errno != ENOENT)) {
    error = SystemError("can't replace", path);
    return false;
  }
  return true;
}

}  // namespace

std::string ControlSocketPath(const std::string& profile_dir) { return profile_dir + "/" + kControlSocketName; }

UniqueFd ListenControlSocket(const std::string& path, std::string& error) {
  sockaddr_un address{};
  if (!FillAddress(path, address, error) || !ClearStaleSocket(path, address, error)) return {};
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) {
    error = SystemError("can't create the control socket", path);
    return {};
  }
  // The socket file is made with the umask's mode; it is narrowed before
  // anyone is let in by listen. The profile directory is the owner's alone
  // anyway, and every connection's credentials are checked.
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = SystemError("can't bind the control socket", path);
    return {};
  }
  if (::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd.get(), 16) != 0) {
    error = SystemError("can't set up the control socket", path);
    ::unlink(path.c_str());
    return {};
  }
  return fd;
}

bool ReadPeerCredentials(int fd, PeerCredentials& out) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials)
    return false;
  out.pid = credentials.pid;
  out.uid = credentials.uid;
  return true;
}

std::string ProcessWorkingDirectory(pid_t pid) {
  if (pid <= 0) return {};
  const std::string link = "/proc/" + std::to_string(pid) + "/cwd";
  char target[4096];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof target || target[0] != '/') return {};
  return std::string(target, static_cast<size_t>(n));
}

UniqueFd ConnectControlSocket(const std::string& path, std::string& error) {
  sockaddr_un address{};
  if (!FillAddress(path, address, error)) return {};
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid() || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = SystemError("can't connect to", path);
    return {};
  }
  return fd;
}

LineReader::Result LineReader::Next(std::string& line, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return Result::kLine;
    }
    int wait_ms = -1;
    if (limit.count() >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return Result::kTimeout;
      wait_ms = static_cast<int>(left.count());
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, wait_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return Result::kTimeout;
    char chunk[4096];
    const ssize_t n = ready < 0 ? -1 : ::read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Result::kClosed;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

bool LineReader::ClosedNow() {
  if (!buffer_.empty()) return false;
  char byte;
  const ssize_t n = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  // A node that closes with our command unread resets the connection.
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace orv
