#include "daemon/terminal_input.hpp"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orv {
namespace {

constexpr size_t kMaxTerminalLine = 64 * 1024;

}  // namespace

TerminalInput::TerminalInput() : stop_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TerminalInput::~TerminalInput() { Stop(); }

bool TerminalInput::Start(int fd, LineHandler on_line) {
  if (thread_.joinable() || !stop_fd_.valid()) return false;
  on_line_ = std::move(on_line);
  thread_ = std::thread([this, fd] { Run(fd); });
  return true;
}

void TerminalInput::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  turn_.notify_all();
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(stop_fd_.get(), &one, sizeof one);
  if (thread_.joinable()) thread_.join();
}

TerminalInput::PromptTurn::PromptTurn(TerminalInput* input) : input_(input) {
  if (!input_) return;
  std::lock_guard<std::mutex> lock(input_->mutex_);
  input_->prompting_ = true;
}

TerminalInput::PromptTurn::~PromptTurn() {
  if (!input_) return;
  {
    std::lock_guard<std::mutex> lock(input_->mutex_);
    input_->prompting_ = false;
  }
  input_->turn_.notify_all();
}

void TerminalInput::Deliver(std::string& pending, const char* data, size_t size) {
  pending.append(data, size);
  for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
    std::string line = pending.substr(0, end);
    pending.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    on_line_(std::move(line));
  }
  // An endless line is handed on in pieces rather than held without bound;
  // the registry then answers it with an error.
  if (pending.size() > kMaxTerminalLine) {
    on_line_(std::move(pending));
    pending.clear();
  }
}

void TerminalInput::Run(int fd) {
  std::string pending;
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop_fd_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents) return;
    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    std::unique_lock<std::mutex> lock(mutex_);
    turn_.wait(lock, [this] { return !prompting_ || stop_; });
    if (stop_) return;
    // A prompt may have taken what was there: read only what is ready now.
    pollfd again{fd, POLLIN, 0};
    if (::poll(&again, 1, 0) <= 0) continue;
    char chunk[4096];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    lock.unlock();
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      // EIO: a background job of the terminal; look again a little later.
      pollfd idle{stop_fd_.get(), POLLIN, 0};
      if (::poll(&idle, 1, 1000) != 0) return;
      continue;
    }
    Deliver(pending, chunk, static_cast<size_t>(n));
  }
  if (!pending.empty()) on_line_(std::move(pending));
}

bool ReadInputLine(std::string& line) {
  line.clear();
  bool got_any = false;
  for (;;) {
    char c = 0;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return got_any;
    got_any = true;
    if (c == '\n') return true;
    if (c != '\r') line += c;
  }
}

}  // namespace orv
