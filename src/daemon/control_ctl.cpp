#include "daemon/control_ctl.hpp"

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>

#include "daemon/control_reply.hpp"
#include "daemon/control_socket.hpp"
#include "daemon/control_words.hpp"
#include "daemon/terminal_input.hpp"
#include "settings/profile_paths.hpp"

namespace orv {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitCommandFailed = 1;
constexpr int kExitTrouble = 2;

std::string SocketPathOf(const CtlOptions& options) {
  if (!options.socket.empty()) return options.socket;
  const ProfilePaths paths = ResolveProfilePaths(ProcessProfileEnvironment(options.profile));
  return ControlSocketPath(paths.profile_dir);
}

void Print(const std::string& line) {
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintClosed(LineReader& reader) {
  std::fprintf(stderr, "orvd ctl: %s\n", ClosedConnectionText(reader).c_str());
}

// Sends one command and prints its reply; skips the events in between.
int Exchange(int fd, LineReader& reader, const std::string& command, std::chrono::milliseconds limit) {
  if (!WriteAll(fd, command + "\n")) {
    PrintClosed(reader);
    return kExitTrouble;
  }
  for (std::string line;;) {
    switch (reader.Next(line, limit)) {
      case LineReader::Result::kTimeout:
        std::fprintf(stderr, "orvd ctl: no reply in time\n");
        return kExitTrouble;
      case LineReader::Result::kClosed:
        PrintClosed(reader);
        return kExitTrouble;
      case LineReader::Result::kLine:
        break;
    }
    if (line.rfind("event ", 0) == 0) continue;
    if (line.rfind("error", 0) == 0 && reader.ClosedNow()) {
      // Not a reply: the node refused the connection (it closes it right
      // after that line, and never after a reply).
      std::fprintf(stderr, "orvd ctl: the node closed the connection: %s\n", line.substr(6).c_str());
      return kExitTrouble;
    }
    Print(line);
    if (line == "ok" || line.rfind("ok ", 0) == 0) return kExitOk;
    if (line.rfind("error", 0) == 0) return kExitCommandFailed;
  }
}

// Asks for events only, so that the node does not close the connection
// as idle, and prints them.
int PrintEvents(int fd, LineReader& reader) {
  if (!WriteAll(fd, std::string(kListenLine) + "\n")) {
    PrintClosed(reader);
    return kExitTrouble;
  }
  for (std::string line; reader.Next(line, std::chrono::milliseconds(-1)) == LineReader::Result::kLine;) {
    if (line.rfind("event ", 0) == 0) {
      Print(line);
      std::fflush(stdout);
    } else if (line.rfind("error", 0) == 0) {
      std::fprintf(stderr, "orvd ctl: %s\n", line.c_str());
      return kExitTrouble;
    }
  }
  return kExitOk;
}

int RunCommandsFromInput(int fd, LineReader& reader, std::chrono::milliseconds limit) {
  int status = kExitOk;
  for (std::string line; ReadInputLine(line);) {
    if (IsBlankOrComment(line)) continue;
    const int result = Exchange(fd, reader, line, limit);
    std::fflush(stdout);
    if (result == kExitTrouble) return result;
    if (result != kExitOk) status = result;
  }
  return status;
}

}  // namespace

std::string ClosedConnectionText(LineReader& reader) {
  // What the node wrote before it closed is in the socket already.
  std::string line;
  for (int i = 0; i < 64 && reader.Next(line, std::chrono::milliseconds(100)) == LineReader::Result::kLine; ++i)
    if (line.rfind("error ", 0) == 0) return "the node closed the connection: " + line.substr(6);
  return "the node closed the connection";
}

const char kCtlUsage[] =
    "Usage: orvd ctl [--profile DIR | --socket PATH] [--timeout SECONDS] COMMAND [ARG...]\n"
    "       orvd ctl [--profile DIR | --socket PATH] --events\n"
    "       orvd ctl [--profile DIR | --socket PATH] [--timeout SECONDS] < COMMANDS\n"
    "  --profile DIR      the node's profile directory (its socket is DIR/orvd.sock)\n"
    "  --socket PATH      the node's control socket\n"
    "  --timeout SECONDS  how long to wait for each reply (default 30, 0: no limit)\n"
    "  --events           print the node's events until it ends\n"
    "`orvd ctl help` lists the node's commands.\n";

std::optional<CtlOptions> ParseCtlOptions(const std::vector<std::string>& args, std::string& error) {
  CtlOptions options;
  size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--help") {
      options.help = true;
    } else if (arg == "--events") {
      options.events = true;
    } else if (arg == "--profile" && has_value) {
      options.profile = args[++i];
    } else if (arg == "--socket" && has_value) {
      options.socket = args[++i];
    } else if (arg == "--timeout" && has_value) {
      const std::string& value = args[++i];
      const auto result = std::from_chars(value.data(), value.data() + value.size(), options.timeout_seconds);
      if (result.ec != std::errc() || result.ptr != value.data() + value.size() || options.timeout_seconds < 0) {
        error = "bad --timeout: " + value;
        return std::nullopt;
      }
    } else {
      error = "unknown or incomplete argument: " + arg;
      return std::nullopt;
    }
  }
  options.command.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  if (options.events && !options.command.empty()) {
    error = "--events takes no command";
    return std::nullopt;
  }
  return options;
}

std::string CommandLineFromWords(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty()) line += ' ';
    line += QuoteWord(word);
  }
  return line;
}

int RunCtl(const CtlOptions& options) {
  if (options.help) {
    std::fputs(kCtlUsage, stdout);
    return kExitOk;
  }
  std::string error;
  const UniqueFd fd = ConnectControlSocket(SocketPathOf(options), error);
  if (!fd.valid()) {
    std::fprintf(stderr, "orvd ctl: %s (is the node running?)\n", error.c_str());
    return kExitTrouble;
  }
  LineReader reader(fd.get());
  if (options.events) return PrintEvents(fd.get(), reader);
  const std::chrono::milliseconds limit =
      options.timeout_seconds == 0 ? std::chrono::milliseconds(-1) : std::chrono::seconds(options.timeout_seconds);
  if (options.command.empty()) return RunCommandsFromInput(fd.get(), reader, limit);
  const int status = Exchange(fd.get(), reader, CommandLineFromWords(options.command), limit);
  std::fflush(stdout);
  return status;
}

}  // namespace orv
