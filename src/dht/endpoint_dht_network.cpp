#include "dht/endpoint_dht_network.hpp"

#include <mutex>

namespace orv {

int EndpointDhtNetwork::PeerPresence(const uint32_t* user_id) {
  std::unique_lock<std::mutex> table(endpoint_.table_lock, std::try_to_lock);
  if (!table.owns_lock()) return -1;
  const PeerRecord* record = FindPeer(endpoint_, user_id, false);
  if (!record || !record->connected) return 0;
  return record->away ? 2 : 1;
}

void EndpointDhtNetwork::UpdatePeerAddress(const PeerRef& node) { orv::UpdatePeerAddress(endpoint_, node); }

}  // namespace orv
