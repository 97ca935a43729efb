// orvd: the headless ORV node. It runs the same core as the desktop
// program: loads or makes its key, opens the UDP endpoint, answers
// handshakes, optionally calls one peer, and ends cleanly on SIGINT or
// SIGTERM (every connected peer is told that the session ends).
#include <signal.h>

#include <cstdio>
#include <string>

#include "app/event_log.hpp"
#include "daemon/daemon_options.hpp"
#include "daemon/node.hpp"
#include "daemon/terminal_ui_port.hpp"

int main(int argc, char** argv) {
  std::string error;
  const auto options = orv::ParseDaemonOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "orvd: %s\n%s", error.c_str(), orv::kDaemonUsage);
    return 2;
  }
  if (options->help) {
    std::fputs(orv::kDaemonUsage, stdout);
    return 0;
  }
  // Every thread starts with these signals blocked; main takes them with sigwait.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  orv::TerminalUiPort ui(options->password_file, options->name.empty() ? "orvd" : options->name);
  orv::Node node(ui, *options);
  if (!node.Start()) return 1;
  node.Bootstrap();
  if (options->connect_ip) node.Connect(*options->connect_ip, options->connect_port);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  orv::LogEvent("Main", signal_number == SIGINT ? "Stopping (interrupt)" : "Stopping");
  node.Stop();
  return 0;
}
