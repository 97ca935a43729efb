// The commands of the node itself: status, peers, connect, bootstrap,
// policies and quit. Their handlers run on the interface thread.
#pragma once

#include <functional>

#include "app/dispatcher.hpp"
#include "daemon/command_registry.hpp"
#include "app/application.hpp"

namespace orv {

// Registers the node's commands. `request_stop` begins the orderly shutdown;
// `quit` calls it after its reply is on its way.
void AddNodeCommands(CommandRegistry& registry, Application& node, Dispatcher& dispatcher,
                     std::function<void()> request_stop);

// The fields of `status` and of one `peers` item (also for tests).
Fields StatusFields(NetworkEndpoint& endpoint, const uint32_t* own_id);
Fields PeerFields(NetworkEndpoint& endpoint, const PeerStatus& peer);

}  // namespace orv
