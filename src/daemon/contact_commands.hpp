// The control commands of the contact list and presence: contacts, add,
// authorize, deauthorize, remove, rename, online, away, info, request,
// accept-request.
#pragma once

#include "daemon/command_registry.hpp"
#include "daemon/node.hpp"

namespace orv {

void AddContactCommands(CommandRegistry& registry, Node& node);

}  // namespace orv
