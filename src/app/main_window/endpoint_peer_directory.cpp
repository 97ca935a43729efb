#include "app/main_window/endpoint_peer_directory.hpp"

#include <mutex>

#include "identity/utf16.hpp"

namespace orv {

std::optional<PeerLook> EndpointPeerDirectory::LookUpPeer(const uint32_t* user_id) {
  std::lock_guard<std::mutex> table(endpoint_.table_lock);
  const PeerRecord* record = FindPeer(endpoint_, user_id, false);
  if (!record) return std::nullopt;
  PeerLook look;
  CopyUserId(look.ref.user_id, record->user_id);
  look.ref.ipv4 = record->ipv4;
  look.ref.port = record->port;
  look.connected = record->connected;
  look.away = record->away;
  return look;
}

std::string EndpointPeerDirectory::PeerName(const uint32_t* user_id) {
  return Utf16ToUtf8(GetPeerName(endpoint_, user_id));
}

int EndpointPeerDirectory::PeerPresence(const uint32_t* user_id) { return GetPeerPresence(endpoint_, user_id); }

void EndpointPeerDirectory::SetAway(bool away) { orv::SetAway(endpoint_, away); }

}  // namespace orv
