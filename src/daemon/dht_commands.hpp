// The control commands of discovery: find, locate, nodes.
#pragma once

#include "daemon/command_registry.hpp"
#include "daemon/node.hpp"

namespace orv {

void AddDhtCommands(CommandRegistry& registry, Node& node);

}  // namespace orv
