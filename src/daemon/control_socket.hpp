// The Unix stream sockets of the control interface: the node's listening
// socket in the profile directory and a client's connection to it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

#include "platform/unique_fd.hpp"

namespace orv {

// The control socket's file name in the profile directory.
inline constexpr const char* kControlSocketName = "orvd.sock";

// The line a client sends to say that it only listens to the events: the
// node answers "ok" and never closes it as idle.
inline constexpr const char* kListenLine = "events";

// profile_dir + "/orvd.sock".
std::string ControlSocketPath(const std::string& profile_dir);

// A listening socket bound to `path`, readable and writable by the owner
// alone (0600). A socket file left by a node that is gone is replaced; a
// path where a node still listens, or that is no socket, is left alone and
// refused. Invalid (and `error`) on failure.
UniqueFd ListenControlSocket(const std::string& path, std::string& error);

// The credentials of the process at the other end of a Unix socket.
struct PeerCredentials {
  pid_t pid = 0;
  uid_t uid = static_cast<uid_t>(-1);
};
bool ReadPeerCredentials(int fd, PeerCredentials& out);

// The working directory of a process of the same user; empty when unknown.
std::string ProcessWorkingDirectory(pid_t pid);

// A client connection (blocking, close-on-exec); invalid and `error` when
// nobody listens there.
UniqueFd ConnectControlSocket(const std::string& path, std::string& error);

// Reads the lines a node writes on a client connection.
class LineReader {
 public:
  enum class Result { kLine, kTimeout, kClosed };
  explicit LineReader(int fd) : fd_(fd) {}
  // The next line without its line end; waits at most `limit` (negative:
  // without limit).
  Result Next(std::string& line, std::chrono::milliseconds limit);
  // True when nothing is left to read and the other end has closed (or
  // reset) the connection, as far as can be seen without waiting.
  bool ClosedNow();

 private:
  int fd_;
  std::string buffer_;
};

// Writes all of `data`; false on an error.
bool WriteAll(int fd, const std::string& data);

}  // namespace orv
