#include "gui/stop_signals.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace orv {
namespace {

// The pipe's ends: the handler writes, the event loop reads.
int signal_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  const ssize_t written = ::write(signal_pipe[1], &byte, 1);  // async-signal-safe
  (void)written;  // a full pipe already holds a stop
}

void SetHandler(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals(std::function<void()> stop) : stop_(std::move(stop)) {
  if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
    char bytes[16];
    while (::read(signal_pipe[0], bytes, sizeof bytes) > 0) {
    }
    stop_();
  });
  SetHandler(SIGINT, OnStopSignal);
  SetHandler(SIGTERM, OnStopSignal);
}

StopSignals::~StopSignals() {
  if (!notifier_) return;
  SetHandler(SIGINT, SIG_DFL);
  SetHandler(SIGTERM, SIG_DFL);
  notifier_.reset();
  ::close(signal_pipe[0]);
  ::close(signal_pipe[1]);
  signal_pipe[0] = signal_pipe[1] = -1;
}

}  // namespace orv
