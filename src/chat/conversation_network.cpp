#include "chat/conversation_network.hpp"

#include "net/endpoint.hpp"

namespace orv {

std::u16string EndpointConversationNetwork::PeerName(const uint32_t* user_id) {
  return GetPeerName(endpoint_, user_id);
}

int EndpointConversationNetwork::PeerPresence(const uint32_t* user_id) { return GetPeerPresence(endpoint_, user_id); }

bool EndpointConversationNetwork::SessionId(const uint32_t* user_id, uint32_t* digest) {
  return GetSessionId(endpoint_, user_id, digest) == 1;
}

std::optional<PeerStatus> EndpointConversationNetwork::PeerCounters(const uint32_t* user_id) {
  return GetPeerStatus(endpoint_, user_id);
}

bool EndpointConversationNetwork::FindPeerRef(const uint32_t* user_id, PeerRef& out) {
  return GetPeerRef(endpoint_, user_id, out) == 1;
}

}  // namespace orv
