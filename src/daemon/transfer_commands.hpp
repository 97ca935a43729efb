// The control commands of file transfers and the downloads record.
#pragma once

#include "daemon/command_registry.hpp"
#include "app/application.hpp"

namespace orv {

// send, accept, cancel, transfers, downloads.
void AddTransferCommands(CommandRegistry& registry, Application& node);

}  // namespace orv
