// The control interface of orvd, put together: the command registry, the
// event bus, the command runner on the interface thread, the control socket
// and the terminal. Engines register their commands in commands() and emit
// their events on events(); every transport then offers them.
//
// Order of use: construct; hand log_sink() to the node so that log lines
// become `log` events; register commands; OpenSocket and StartTerminal;
// at shutdown StopCommands, stop the dispatcher and the engines, then Close
// (events of the shutdown still reach the clients in between).
#pragma once

#include <memory>
#include <string>

#include "app/dispatcher.hpp"
#include "app/log_sink.hpp"
#include "daemon/command_registry.hpp"
#include "daemon/command_runner.hpp"
#include "daemon/control_server.hpp"
#include "daemon/event_bus.hpp"
#include "daemon/terminal_input.hpp"

namespace orv {

// Log lines as events: `event log time=... source=... text=...`.
class EventLogSink final : public LogSink {
 public:
  explicit EventLogSink(EventBus& bus) : bus_(bus) {}
  void AppendLogRow(std::string_view time, std::string_view source, std::string_view message) override;

 private:
  EventBus& bus_;
};

class ControlInterface {
 public:
  ControlInterface(Dispatcher& dispatcher, TerminalInput& terminal);
  ~ControlInterface();
  ControlInterface(const ControlInterface&) = delete;
  ControlInterface& operator=(const ControlInterface&) = delete;

  CommandRegistry& commands() { return registry_; }
  EventBus& events() { return bus_; }
  std::shared_ptr<orv::LogSink> log_sink() { return log_sink_; }

  // Events are printed on standard output (but for `log` events: the log
  // prints those lines itself). Commands are read from standard input when
  // it is a terminal, or always with `stdin_commands`; their replies are
  // printed on standard output.
  void StartTerminal(bool stdin_commands);

  bool OpenSocket(const std::string& path, std::string& error);

  // No command runs from now on: the terminal stops reading, the socket
  // answers kStoppingReply.
  void StopCommands();

  // Sends what is still queued and closes the socket.
  void Close();

 private:
  EventBus bus_;
  CommandRegistry registry_;
  CommandRunner runner_;
  ControlServer server_;
  TerminalInput& terminal_;
  std::shared_ptr<orv::LogSink> log_sink_;
  EventBus::Subscription terminal_events_;
};

// Writes one line and its line end to standard output in one call, so that
// lines from several threads never mix.
void PrintLine(const std::string& line);

}  // namespace orv
