// An address belongs to one confirmed identity at a time: when a connected
// peer answers a ping from an address, older records of other UserIds that
// still hold that address go.
#pragma once

#include "net/consumers.hpp"
#include "net/peer_table.hpp"

namespace orv {

struct NetworkEndpoint;

// Unlinks every record but `keep` whose address, or whose setup's address,
// is `address`; reports each to the contact store (ForgetNode) and the DHT
// (DropDhtNode) and destroys it. Must hold the peer table lock.
void RemoveStaleRecords(NetworkEndpoint& endpoint, const PeerRecord& keep, const PeerRef& address,
                        const NetworkConsumers& consumers);

}  // namespace orv
