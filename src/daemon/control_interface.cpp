#include "daemon/control_interface.hpp"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace orv {

void EventLogSink::AppendLogRow(std::string_view time, std::string_view source, std::string_view message) {
  bus_.Emit("log", Fields().Text("time", time).Text("source", source).Text("text", message));
}

void PrintLine(const std::string& line) {
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

ControlInterface::ControlInterface(Dispatcher& dispatcher, TerminalInput& terminal)
    : runner_(registry_, dispatcher),
      server_(runner_, bus_),
      terminal_(terminal),
      log_sink_(std::make_shared<EventLogSink>(bus_)) {}

ControlInterface::~ControlInterface() {
  StopCommands();
  Close();
}

void ControlInterface::StartTerminal(bool stdin_commands) {
  terminal_events_ = bus_.Subscribe([](const ControlEvent& event, const std::string& line) {
    if (event.name != "log") PrintLine(line);
  });
  if (!stdin_commands && ::isatty(STDIN_FILENO) != 1) return;
  std::error_code ec;
  const std::string base_dir = std::filesystem::current_path(ec).string();
  terminal_.Start(STDIN_FILENO, [this, base_dir](std::string line) {
    runner_.Submit(std::move(line), CommandContext{"terminal", base_dir},
                   [](std::vector<std::string> lines) {
                     for (const std::string& reply : lines) PrintLine(reply);
                   });
  });
}

bool ControlInterface::OpenSocket(const std::string& path, std::string& error) { return server_.Open(path, error); }

void ControlInterface::StopCommands() {
  terminal_.Stop();
  server_.StopCommands();
}

void ControlInterface::Close() {
  server_.Close();
  terminal_events_.Reset();
}

}  // namespace orv
