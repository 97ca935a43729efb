#include "platform/single_instance.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "platform/local_socket.hpp"

namespace orv {
namespace {

using std::chrono::milliseconds;

// The one request and its answer.
constexpr std::string_view kShowRequest = "show\n";
constexpr std::string_view kShowDone = "ok\n";
constexpr milliseconds kRequestWait{1000};
constexpr milliseconds kAnswerWait{2000};
// The first copy locks before it listens: a second copy that meets the
// lock before the socket tries again a few times.
constexpr int kConnectTries = 20;
constexpr milliseconds kConnectPause{50};

std::string LockName(const uint32_t* user_id) { return InstanceFileStem(user_id) + ".lock"; }
std::string SocketName(const uint32_t* user_id) { return InstanceFileStem(user_id) + ".sock"; }

InstanceClaimState Lock(const std::string& path, UniqueFd& fd) {
  fd.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.valid()) return InstanceClaimState::kFailed;
  int result;
  do {
    result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return InstanceClaimState::kFirst;
  return errno == EWOULDBLOCK ? InstanceClaimState::kOtherRuns : InstanceClaimState::kFailed;
}

// One asking copy: checked to be this user, its request read, the window
// shown, the answer written.
void Answer(int connection, const ShowWindowRequest& on_show) {
  if (!PeerIsSameUser(connection)) return;
  if (ReceiveLine(connection, kShowRequest.size(), kRequestWait) != kShowRequest) return;
  if (on_show) on_show();
  SendAll(connection, kShowDone);
}

}  // namespace

std::string InstanceFileStem(const uint32_t* user_id) {
  char text[8 * 9 + 4];
  std::snprintf(text, sizeof text, "orv-%08X-%08X-%08X-%08X-%08X-%08X-%08X-%08X", user_id[0], user_id[1],
                user_id[2], user_id[3], user_id[4], user_id[5], user_id[6], user_id[7]);
  return text;
}

InstanceLock::~InstanceLock() {
  if (thread_.joinable()) {
    const char stop = 1;
    [[maybe_unused]] const ssize_t n = ::write(stop_write_.get(), &stop, 1);
    thread_.join();
  }
  if (listener_.valid()) ::unlink(socket_path_.c_str());
  // Closing the descriptor releases the lock.
}

bool InstanceLock::Listen(const std::string& dir, const std::string& name, ShowWindowRequest on_show) {
  listener_ = ListenLocal(dir, name);
  int pipe_fds[2];
  if (!listener_.valid() || ::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    listener_.Reset();
    return false;
  }
  stop_read_.Reset(pipe_fds[0]);
  stop_write_.Reset(pipe_fds[1]);
  socket_path_ = dir + "/" + name;
  thread_ = std::thread([this, on_show = std::move(on_show)] { Serve(on_show); });
  return true;
}

void InstanceLock::Serve(const ShowWindowRequest& on_show) {
  for (;;) {
    pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {stop_read_.get(), POLLIN, 0}};
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (connection.valid()) Answer(connection.get(), on_show);
  }
}

InstanceClaim ClaimInstance(const std::string& dir, const uint32_t* user_id, ShowWindowRequest on_show) {
  InstanceClaim claim;
  if (dir.empty()) return claim;
  auto lock = std::make_unique<InstanceLock>();
  lock->lock_path_ = dir + "/" + LockName(user_id);
  claim.state = Lock(lock->lock_path_, lock->lock_);
  if (claim.state != InstanceClaimState::kFirst) return claim;
  lock->Listen(dir, SocketName(user_id), std::move(on_show));
  claim.lock = std::move(lock);
  return claim;
}

bool AskOtherCopyToShow(const std::string& dir, const uint32_t* user_id) {
  if (dir.empty()) return false;
  UniqueFd connection;
  for (int attempt = 0; attempt < kConnectTries && !connection.valid(); ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kConnectPause);
    connection = ConnectLocal(dir, SocketName(user_id));
  }
  if (!connection.valid() || !SendAll(connection.get(), kShowRequest)) return false;
  return ReceiveLine(connection.get(), kShowDone.size(), kAnswerWait) == kShowDone;
}

}  // namespace orv
