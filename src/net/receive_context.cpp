#include "net/receive_context.hpp"

#include "net/endpoint.hpp"

namespace orv {

std::unique_lock<std::mutex> TryPeerLock(PeerRecord& peer) {
  std::unique_lock<std::mutex> lock(peer.peer_lock, std::try_to_lock);
  if (lock.owns_lock() && peer.discard_setup.exchange(false)) DiscardSetup(peer.setup);
  return lock;
}

bool PeerBusy(const PeerRecord& peer, const std::unique_lock<std::mutex>& lock) {
  return !lock.owns_lock() || (peer.setup && peer.setup->worker_pending);
}

std::shared_ptr<PeerRecord> FindPeerShared(NetworkEndpoint& endpoint, const uint32_t* user_id) {
  for (const auto& record : endpoint.peers)
    if (SameUserId(record->user_id, user_id)) return record;
  return nullptr;
}

}  // namespace orv
