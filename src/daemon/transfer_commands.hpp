// The control commands of file transfers and the downloads record.
#pragma once

#include "daemon/command_registry.hpp"
#include "daemon/node.hpp"

namespace orv {

// send, accept, cancel, transfers, downloads.
void AddTransferCommands(CommandRegistry& registry, Node& node);

}  // namespace orv
