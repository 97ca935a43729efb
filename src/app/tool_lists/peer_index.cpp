#include "app/tool_lists/peer_index.hpp"

namespace orv {
namespace {

std::vector<uint32_t> IdKey(const uint32_t* user_id) { return {user_id, user_id + kUserIdWords}; }

}  // namespace

// The table holds one record per UserId; the first one wins all the same.
PeerIndex::PeerIndex(const std::vector<PeerStatus>& peers) {
  for (const PeerStatus& peer : peers) by_id_.emplace(IdKey(peer.ref.user_id), &peer);
}

const PeerStatus* PeerIndex::Find(const uint32_t* user_id) const {
  auto it = by_id_.find(IdKey(user_id));
  return it == by_id_.end() ? nullptr : it->second;
}

std::string PeerIndex::Name(const uint32_t* user_id) const {
  const PeerStatus* peer = Find(user_id);
  return peer ? peer->name : "<unknown>";
}

int PeerIndex::Presence(const uint32_t* user_id) const {
  const PeerStatus* peer = Find(user_id);
  if (!peer || !peer->connected) return 0;
  return peer->away ? 2 : 1;
}

}  // namespace orv
