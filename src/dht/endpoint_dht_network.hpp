// The DHT's view of the real network endpoint.
#pragma once

#include "dht/dht_ports.hpp"
#include "net/endpoint.hpp"

namespace orv {

class EndpointDhtNetwork : public DhtNetwork {
 public:
  explicit EndpointDhtNetwork(NetworkEndpoint& endpoint) : endpoint_(endpoint) {}
  // GetPeerPresence, but only when the peer table lock is free at once: the
  // engine asks with its own lock held, sometimes for a caller that holds
  // the store lock, which comes after the table lock.
  int PeerPresence(const uint32_t* user_id) override;
  void UpdatePeerAddress(const PeerRef& node) override;

 private:
  NetworkEndpoint& endpoint_;
};

}  // namespace orv
