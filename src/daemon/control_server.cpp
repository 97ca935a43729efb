#include "daemon/control_server.hpp"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <mutex>

#include "app/event_log.hpp"
#include "daemon/control_socket.hpp"
#include "daemon/control_words.hpp"

namespace orv {

// Wakes the server thread; shared with reply callbacks that may outlive
// the server.
struct ControlServer::Waker {
  UniqueFd fd{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
  void Signal() const {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd.get(), &one, sizeof one);
  }
  void Drain() const {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd.get(), &count, sizeof count);
  }
};

struct ControlServer::Client {
  UniqueFd fd;
  CommandContext context;
  std::shared_ptr<Waker> waker;
  size_t max_output = 0;

  // The server thread's alone.
  std::string input;
  bool discarding = false;   // dropping the rest of an overlong line
  bool read_closed = false;  // the client has sent all it will send
  bool broken = false;
  bool listening = false;    // asked for events only: never idle
  uint64_t issued = 0;       // replies owed, counted by sequence number
  std::chrono::steady_clock::time_point last_line;  // of the last complete line, or of the connection

  // Guarded by mutex (taken after the bus lock when an event comes).
  std::mutex mutex;
  std::string output;
  uint64_t delivered = 0;  // replies moved to `output`, in order
  std::map<uint64_t, std::vector<std::string>> ready;  // replies that came early
  bool overflow = false;

  // Last, so that it goes first: no event reaches a client being destroyed.
  EventBus::Subscription events;

  // Must hold mutex.
  void AppendLocked(const std::string& line) {
    if (overflow || output.size() + line.size() + 1 > max_output) {
      overflow = true;
      return;
    }
    output += line;
    output += '\n';
  }

  void Deliver(uint64_t sequence, std::vector<std::string> lines) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ready.emplace(sequence, std::move(lines));
      for (auto it = ready.begin(); it != ready.end() && it->first == delivered; it = ready.erase(it)) {
        for (const std::string& line : it->second) AppendLocked(line);
        ++delivered;
      }
    }
    waker->Signal();
  }

  void Event(const std::string& line) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      AppendLocked(line);
    }
    waker->Signal();
  }
};

ControlServer::ControlServer(CommandRunner& runner, EventBus& bus, ControlServerLimits limits)
    : runner_(runner), bus_(bus), limits_(limits) {}

ControlServer::~ControlServer() { Close(std::chrono::milliseconds(0)); }

bool ControlServer::Open(const std::string& path, std::string& error) {
  if (thread_.joinable()) {
    error = "the control socket is open already";
    return false;
  }
  listen_fd_ = ListenControlSocket(path, error);
  if (!listen_fd_.valid()) return false;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    socket_dev_ = info.st_dev;
    socket_ino_ = info.st_ino;
  }
  path_ = path;
  waker_ = std::make_shared<Waker>();
  closing_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void ControlServer::StopCommands() { stopping_ = true; }

void ControlServer::Tick() {
  if (waker_) waker_->Signal();
}

void ControlServer::Close(std::chrono::milliseconds flush_limit) {
  if (!thread_.joinable()) return;
  flush_deadline_ = std::chrono::steady_clock::now() + flush_limit;
  closing_ = true;
  waker_->Signal();
  thread_.join();
  for (const auto& client : clients_) client->events.Reset();
  clients_.clear();
  client_count_ = 0;
  listen_fd_.Reset();
  // Removed only while it is still the file this server made: a node
  // started later on the same profile may have replaced it.
  struct stat info {};
  if (::stat(path_.c_str(), &info) == 0 && info.st_dev == socket_dev_ && info.st_ino == socket_ino_)
    ::unlink(path_.c_str());
}

bool ControlServer::Finished(Client& client) {
  if (client.broken) return true;
  std::lock_guard<std::mutex> lock(client.mutex);
  if (client.overflow) return true;
  return client.read_closed && client.delivered == client.issued && client.output.empty();
}

// A client waiting for replies is not idle; its idle time starts again
// once they are all delivered.
bool ControlServer::IdleCounts(Client& client) {
  if (client.listening || client.read_closed || client.broken) return false;
  std::lock_guard<std::mutex> lock(client.mutex);
  return client.delivered == client.issued;
}

// Tells the clients idle for the limit why they go, and stops reading from
// them (they go once that line is written). The milliseconds until the
// next client would be idle that long, or -1 when none is counted.
int ControlServer::CloseIdleClients() {
  const auto now = limits_.clock();
  const auto limit = limits_.idle_limit;
  int next_ms = -1;
  for (const auto& client : clients_) {
    if (!IdleCounts(*client)) {
      client->last_line = now;
      continue;
    }
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - client->last_line);
    if (idle >= limit) {
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
      client->Event("error no command for " + std::to_string(seconds) + " s: connection closed");
      client->read_closed = true;
      continue;
    }
    const int left = static_cast<int>((limit - idle).count());
    if (next_ms < 0 || left < next_ms) next_ms = left;
  }
  return next_ms;
}

void ControlServer::Run() {
  std::vector<pollfd> fds;
  for (;;) {
    const bool closing = closing_.load();
    int timeout_ms = closing ? -1 : CloseIdleClients();
    if (closing) {
      bool flushed = true;
      for (const auto& client : clients_) {
        std::lock_guard<std::mutex> lock(client->mutex);
        flushed = flushed && (client->output.empty() || client->broken);
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(flush_deadline_ -
                                                                              std::chrono::steady_clock::now());
      if (flushed || left.count() <= 0) return;
      timeout_ms = static_cast<int>(left.count());
    }
    fds.assign({{waker_->fd.get(), POLLIN, 0}, {closing ? -1 : listen_fd_.get(), POLLIN, 0}});
    for (const auto& client : clients_) {
      short events = (closing || client->read_closed) ? 0 : POLLIN;
      std::lock_guard<std::mutex> lock(client->mutex);
      if (!client->output.empty()) events |= POLLOUT;
      fds.push_back({client->fd.get(), events, 0});
    }
    if (::poll(fds.data(), fds.size(), timeout_ms) < 0 && errno != EINTR) return;
    if (fds[0].revents) waker_->Drain();
    if (fds[1].revents & POLLIN) Accept();
    // Accept appends; only the clients that were polled are looked at.
    for (size_t i = 2; i < fds.size(); ++i) {
      const std::shared_ptr<Client> client = clients_[i - 2];
      const short revents = fds[i].revents;
      if (revents & POLLIN) ReadFrom(client);
      if (revents & POLLOUT) WriteTo(*client);
      if ((revents & (POLLERR | POLLHUP)) && !(revents & POLLIN)) client->broken = true;
    }
    for (auto it = clients_.begin(); it != clients_.end();) {
      if (!Finished(**it)) {
        ++it;
        continue;
      }
      (*it)->events.Reset();
      it = clients_.erase(it);
    }
    client_count_ = clients_.size();
  }
}

void ControlServer::Refuse(int fd, const char* line) {
  [[maybe_unused]] const ssize_t n = ::send(fd, line, std::strlen(line), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void ControlServer::Accept() {
  for (;;) {
    UniqueFd fd(::accept4(listen_fd_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!fd.valid()) return;
    PeerCredentials peer;
    if (!ReadPeerCredentials(fd.get(), peer) || peer.uid != limits_.allowed_uid) {
      Refuse(fd.get(), "error permission denied\n");
      LogEvent("Control", "Refused a control connection from user " + std::to_string(peer.uid));
      continue;
    }
    if (clients_.size() >= limits_.max_clients) {
      Refuse(fd.get(), "error too many control clients\n");
      continue;
    }
    auto client = std::make_shared<Client>();
    client->fd = std::move(fd);
    client->context.origin = "socket pid " + std::to_string(peer.pid);
    client->context.base_dir = ProcessWorkingDirectory(peer.pid);
    client->waker = waker_;
    client->max_output = limits_.max_output;
    client->last_line = limits_.clock();
    Client* raw = client.get();
    client->events = bus_.Subscribe([raw](const ControlEvent&, const std::string& line) { raw->Event(line); });
    clients_.push_back(std::move(client));
  }
}

void ControlServer::ReadFrom(const std::shared_ptr<Client>& client) {
  char chunk[4096];
  const ssize_t n = ::recv(client->fd.get(), chunk, sizeof chunk, MSG_DONTWAIT);
  if (n < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) client->broken = true;
    return;
  }
  if (n == 0) {
    client->read_closed = true;
    return;
  }
  std::string& input = client->input;
  input.append(chunk, static_cast<size_t>(n));
  for (size_t end; (end = input.find('\n')) != std::string::npos;) {
    client->last_line = limits_.clock();
    std::string line = input.substr(0, end);
    input.erase(0, end + 1);
    if (client->discarding) {
      client->discarding = false;  // the end of the overlong line
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    HandleLine(client, std::move(line));
  }
  if (!client->discarding && input.size() > limits_.max_line) {
    client->discarding = true;
    client->Deliver(client->issued++,
                    {"error line too long (at most " + std::to_string(limits_.max_line) + " bytes)"});
  }
  if (client->discarding) input.clear();
}

void ControlServer::HandleLine(const std::shared_ptr<Client>& client, std::string line) {
  if (line.size() > limits_.max_line) {
    client->Deliver(client->issued++, {"error line too long (at most " + std::to_string(limits_.max_line) + " bytes)"});
    return;
  }
  if (IsBlankOrComment(line)) return;
  const uint64_t sequence = client->issued++;
  if (line == kListenLine) {
    client->listening = true;
    client->Deliver(sequence, {"ok"});
    return;
  }
  if (stopping_) {
    client->Deliver(sequence, {kStoppingReply});
    return;
  }
  std::weak_ptr<Client> weak = client;
  runner_.Submit(std::move(line), client->context, [weak, sequence](std::vector<std::string> lines) {
    if (const auto alive = weak.lock()) alive->Deliver(sequence, std::move(lines));
  });
}

void ControlServer::WriteTo(Client& client) {
  std::lock_guard<std::mutex> lock(client.mutex);
  while (!client.output.empty()) {
    const ssize_t n = ::send(client.fd.get(), client.output.data(), client.output.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      client.output.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n < 0 && errno == EINTR) continue;
    client.broken = true;
    client.output.clear();
    return;
  }
}

}  // namespace orv
