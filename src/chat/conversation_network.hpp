// What conversations need to know of the network layer besides sending:
// the peer's name, presence, session identifier and counters, and its
// address. EndpointConversationNetwork asks a running endpoint; unit tests
// give a fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/peer_table.hpp"

namespace orv {

struct NetworkEndpoint;

class ConversationNetwork {
 public:
  virtual ~ConversationNetwork() = default;
  // GetPeerName: the name, "<unknown>" when the UserId is not known.
  virtual std::u16string PeerName(const uint32_t* user_id) = 0;
  // GetPeerPresence: 0 offline, 1 online, 2 away.
  virtual int PeerPresence(const uint32_t* user_id) = 0;
  // GetSessionId: true and the session digest (8 words) while keys are loaded.
  virtual bool SessionId(const uint32_t* user_id, uint32_t* digest) = 0;
  // The peer's counters, when it is in the peer table.
  virtual std::optional<PeerStatus> PeerCounters(const uint32_t* user_id) = 0;
  // GetPeerRef: true and the peer's UserId and address when known.
  virtual bool FindPeerRef(const uint32_t* user_id, PeerRef& out) = 0;
};

class EndpointConversationNetwork : public ConversationNetwork {
 public:
  explicit EndpointConversationNetwork(NetworkEndpoint& endpoint) : endpoint_(endpoint) {}
  std::u16string PeerName(const uint32_t* user_id) override;
  int PeerPresence(const uint32_t* user_id) override;
  bool SessionId(const uint32_t* user_id, uint32_t* digest) override;
  std::optional<PeerStatus> PeerCounters(const uint32_t* user_id) override;
  bool FindPeerRef(const uint32_t* user_id, PeerRef& out) override;

 private:
  NetworkEndpoint& endpoint_;
};

}  // namespace orv
