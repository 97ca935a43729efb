// The control commands of conversations: chat and calls. Their handlers
// run on the interface thread.
#pragma once

#include "daemon/command_registry.hpp"
#include "daemon/node.hpp"

namespace orv {

// chat, call, answer, refuse, hangup, conversations.
void AddConversationCommands(CommandRegistry& registry, Node& node);

}  // namespace orv
