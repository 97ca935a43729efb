// The control socket: a Unix stream socket in the profile directory where
// several clients at once send command lines and read replies and events.
// Only processes of the node's own user get in (the socket file is 0600 and
// each connection's credentials are checked). A thread of its own accepts,
// reads and writes; commands go to the CommandRunner, so their handlers run
// on the interface thread, and each client gets its replies in the order
// it sent the commands, with the events in between.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "daemon/command_runner.hpp"
#include "daemon/event_bus.hpp"
#include "platform/unique_fd.hpp"

namespace orv {

struct ControlServerLimits {
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  size_t max_clients = 16;       // more are refused with an error line
  size_t max_line = 64 * 1024;   // a longer command line is refused, and the rest of it dropped
  size_t max_output = 1 << 20;   // a client that lets this much go unread is disconnected
  uid_t allowed_uid = ::geteuid();
  // A client that sends no complete command line for this long, while no
  // reply is owed to it, is told so and disconnected (listeners excepted),
  // so that forgotten connections cannot fill the places of the clients.
  std::chrono::milliseconds idle_limit = std::chrono::seconds(30);
  Clock clock = [] { return std::chrono::steady_clock::now(); };
};

class ControlServer {
 public:
  ControlServer(CommandRunner& runner, EventBus& bus, ControlServerLimits limits = {});
  ~ControlServer();  // Close()
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Listens on `path` (see ListenControlSocket) and starts the thread.
  bool Open(const std::string& path, std::string& error);

  // From now on every command is answered kStoppingReply without running
  // (shutdown: the interface thread is about to stop). Events still go out.
  void StopCommands();

  // Stops accepting and reading, gives the clients up to `flush_limit` to
  // take what is still queued for them, then closes every connection and
  // removes the socket file. Safe to call twice.
  void Close(std::chrono::milliseconds flush_limit = std::chrono::seconds(2));

  size_t ClientCount() const { return client_count_.load(); }

  // Has the server thread look at the clients' idle time at once (it also
  // does so by itself when the first time-out is due); for a clock that
  // moves otherwise than the machine's.
  void Tick();

 private:
  struct Client;
  struct Waker;

  void Run();
  bool Finished(Client& client);
  bool IdleCounts(Client& client);
  int CloseIdleClients();
  void Accept();
  void Refuse(int fd, const char* line);
  void ReadFrom(const std::shared_ptr<Client>& client);
  void HandleLine(const std::shared_ptr<Client>& client, std::string line);
  void WriteTo(Client& client);

  CommandRunner& runner_;
  EventBus& bus_;
  const ControlServerLimits limits_;
  std::string path_;
  dev_t socket_dev_ = 0;
  ino_t socket_ino_ = 0;
  UniqueFd listen_fd_;
  std::shared_ptr<Waker> waker_;
  std::vector<std::shared_ptr<Client>> clients_;  // the server thread's alone
  std::atomic<size_t> client_count_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> closing_{false};
  std::chrono::steady_clock::time_point flush_deadline_;
  std::thread thread_;
};

}  // namespace orv
