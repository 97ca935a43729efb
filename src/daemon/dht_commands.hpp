// The control commands of discovery: find, locate, nodes.
#pragma once

#include "daemon/command_registry.hpp"
#include "app/application.hpp"

namespace orv {

void AddDhtCommands(CommandRegistry& registry, Application& node);

}  // namespace orv
