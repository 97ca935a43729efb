// The control commands of the contact list and presence: contacts, add,
// authorize, deauthorize, remove, rename, online, away, info, request,
// accept-request.
#pragma once

#include "daemon/command_registry.hpp"
#include "app/application.hpp"

namespace orv {

void AddContactCommands(CommandRegistry& registry, Application& node);

}  // namespace orv
