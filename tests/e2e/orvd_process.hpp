// An orvd process for end-to-end tests: started with its own profile, its
// output read line by line, stopped with a signal.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace orv::test {

class OrvdProcess {
 public:
  explicit OrvdProcess(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    pid_t child = ::fork();
    if (child == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::dup2(fds[1], STDERR_FILENO);
      const int null_in = ::open("/dev/null", O_RDONLY);
      ::dup2(null_in, STDIN_FILENO);
      std::vector<char*> argv;
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    pid_ = child;
    out_ = fds[0];
  }
  ~OrvdProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  OrvdProcess(const OrvdProcess&) = delete;
  OrvdProcess& operator=(const OrvdProcess&) = delete;

  // Reads output until a line contains `text` or the time is up; returns
  // that line, or an empty string.
  std::string WaitFor(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(120)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      for (size_t nl; (nl = buffer_.find('\n')) != std::string::npos;) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        all_ += line + "\n";
        if (line.find(text) != std::string::npos) return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return {};
    }
  }

  // Sends the signal and waits for the exit; the exit status.
  int Stop(int signal_number) {
    ::kill(pid_, signal_number);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    while (ReadSome(0)) {
    }
    all_ += buffer_;
    buffer_.clear();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Waits for the process to end by itself, reading its output meanwhile;
  // its exit status, or -1 when it is still running at the limit (the
  // destructor then kills it).
  int WaitExit(std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        while (ReadSome(0)) {
        }
        all_ += buffer_;
        buffer_.clear();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (std::chrono::steady_clock::now() > deadline) return -1;
      ReadSome(20);
    }
  }

  const std::string& output() const { return all_; }

 private:
  bool ReadSome(int timeout_ms) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    char chunk[4096];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
  std::string all_;
};

}  // namespace orv::test
