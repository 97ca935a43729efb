#include "net/stale_records.hpp"

#include <mutex>

#include "net/endpoint.hpp"
#include "net/receive_context.hpp"

namespace orv {
namespace {

// Must hold the peer table lock. The setup's address is read only when the
// peer lock is free at once.
bool HoldsAddress(PeerRecord& record, const PeerRef& address) {
  if (record.ipv4 == address.ipv4 && record.port == address.port) return true;
  std::unique_lock<std::mutex> peer = TryPeerLock(record);
  return peer.owns_lock() && record.setup && record.setup->ipv4 == address.ipv4 &&
         record.setup->port == address.port;
}

PeerRef RefOf(const PeerRecord& record) {
  PeerRef ref;
  CopyUserId(ref.user_id, record.user_id);
  ref.ipv4 = record.ipv4;
  ref.port = record.port;
  return ref;
}

}  // namespace

void RemoveStaleRecords(NetworkEndpoint& endpoint, const PeerRecord& keep, const PeerRef& address,
                        const NetworkConsumers& consumers) {
  auto& peers = endpoint.peers;
  for (auto it = peers.begin(); it != peers.end();) {
    PeerRecord& record = **it;
    if (&record == &keep || !HoldsAddress(record, address)) {
      ++it;
      continue;
    }
    const PeerRef gone = RefOf(record);
    if (consumers.contacts) consumers.contacts->ForgetNode(gone);
    if (consumers.dht_nodes) consumers.dht_nodes->DropDhtNode(gone);
    DestroyPeerRecord(record);
    it = peers.erase(it);
  }
}

}  // namespace orv
