// The control commands of conversations: chat and calls. Their handlers
// run on the interface thread.
#pragma once

#include "daemon/command_registry.hpp"
#include "app/application.hpp"

namespace orv {

// chat, call, answer, refuse, hangup, conversations.
void AddConversationCommands(CommandRegistry& registry, Application& node);

}  // namespace orv
