// `orvd ctl`: a client of a running node's control socket, for people and
// scripts on the same machine.
//
//   orvd ctl [--profile DIR | --socket PATH] [--timeout SECONDS] COMMAND [ARG...]
//       sends one command, prints its reply (item lines, then ok or error)
//   orvd ctl [--profile DIR | --socket PATH] --events
//       prints every event line until the node ends
//   orvd ctl [--profile DIR | --socket PATH] [--timeout SECONDS]
//       sends each line of standard input as a command, prints the replies
//
// Each ARG becomes one word of the command line (quoted when it must be),
// so a text or path with spaces can be given as one argument. Exit status:
// 0 when every command succeeded (and, with --events, when the node ended),
// 1 when a command was answered with an error, 2 on bad arguments or when
// the node cannot be reached or does not answer in time.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orv {

struct CtlOptions {
  std::string profile;       // --profile DIR
  std::string socket;        // --socket PATH (instead of the profile's)
  int timeout_seconds = 30;  // --timeout; 0 waits without limit
  bool events = false;       // --events
  std::vector<std::string> command;  // the command's words
  bool help = false;
};

extern const char kCtlUsage[];

// argv after "ctl"; nothing and `error` on bad arguments.
std::optional<CtlOptions> ParseCtlOptions(const std::vector<std::string>& args, std::string& error);

// The command line for the words: each quoted as it must be.
std::string CommandLineFromWords(const std::vector<std::string>& words);

class LineReader;

// Why the connection ended, for the person: the node's own last error line
// ("too many control clients", "no command for 30 s: ...") when it wrote
// one before closing, read from what is left on the connection.
std::string ClosedConnectionText(LineReader& reader);

// Runs the client; the exit status.
int RunCtl(const CtlOptions& options);

}  // namespace orv
