// Runs command lines from any transport on the interface thread, in the
// order they were submitted, and hands each reply back to its transport.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/dispatcher.hpp"
#include "daemon/command_registry.hpp"

namespace orv {

// The lines of one reply, without line ends; none for a blank line or a
// comment.
using ReplyDone = std::function<void(std::vector<std::string> lines)>;

// The reply to a command that never ran because the node is shutting down.
inline constexpr const char* kStoppingReply = "error the node is stopping";

class CommandRunner {
 public:
  CommandRunner(const CommandRegistry& registry, Dispatcher& dispatcher)
      : registry_(registry), dispatcher_(dispatcher) {}

  // Callable from any thread. `done` is called exactly once: on the
  // interface thread with the reply, or, when the command never runs (the
  // dispatcher has stopped or drops it), with kStoppingReply on the thread
  // that finds that out. `done` must not block.
  void Submit(std::string line, CommandContext context, ReplyDone done);

 private:
  const CommandRegistry& registry_;
  Dispatcher& dispatcher_;
};

}  // namespace orv
