// The controller's PeerDirectory over the running node's endpoint.
#pragma once

#include "app/main_window/main_window_ports.hpp"
#include "net/endpoint.hpp"

namespace orv {

class EndpointPeerDirectory final : public PeerDirectory {
 public:
  explicit EndpointPeerDirectory(NetworkEndpoint& endpoint) : endpoint_(endpoint) {}

  std::optional<PeerLook> LookUpPeer(const uint32_t* user_id) override;
  std::string PeerName(const uint32_t* user_id) override;
  int PeerPresence(const uint32_t* user_id) override;
  void SetAway(bool away) override;

 private:
  NetworkEndpoint& endpoint_;
};

}  // namespace orv
