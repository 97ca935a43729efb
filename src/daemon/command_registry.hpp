// The commands of the control interface. Engines register theirs (a name,
// the arguments it takes, a one-line summary and a handler); the registry
// parses a command line, checks the arguments against the declaration and
// calls the handler. Every handler runs on the node's interface thread
// (CommandRunner posts there), so handlers may use the engines the way the
// interface thread does. A line that fails to parse gets an error reply
// and no handler runs.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "daemon/control_args.hpp"
#include "daemon/control_reply.hpp"

namespace orv {

using CommandHandler = std::function<Reply(const CommandArgs& args)>;

struct CommandDef {
  std::string name;  // one lower-case word
  std::vector<ArgDef> args;
  std::string summary;  // one line for `help`
  CommandHandler handler;
};

class CommandRegistry {
 public:
  // Registers `help` itself.
  CommandRegistry();

  // Adds a command. False, and nothing added, for a name already taken, a
  // name that is not one word of [a-z0-9_-], a missing handler, an
  // optional argument before a required one, or a text argument that is
  // not the last. Call before commands arrive, or on the interface thread.
  bool Add(CommandDef def);

  // Parses and runs one line. Nothing (no reply) for a blank line or a
  // comment; otherwise the handler's reply, or an error for an unknown
  // command or bad arguments, with the command's usage.
  std::optional<Reply> Execute(std::string_view line, const CommandContext& context) const;

  // "NAME ARGS" of a command; empty when unknown.
  std::string Usage(std::string_view name) const;

  std::vector<std::string> Names() const;

 private:
  Reply Help(const CommandArgs& args) const;

  std::map<std::string, CommandDef, std::less<>> commands_;
};

}  // namespace orv
