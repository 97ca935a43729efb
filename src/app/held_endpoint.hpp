// The endpoint as the engines made before it see it: the DHT engine is made
// first and its thread may run before the socket opens. Until Attach, its
// sends go nowhere and no peer has a session; from Attach on they go
// through the endpoint, until Detach as the endpoint closes.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "dht/dht_ports.hpp"
#include "dht/endpoint_dht_network.hpp"
#include "net/endpoint.hpp"
#include "net/payload_sender.hpp"

namespace orv {

class HeldPayloadSender final : public PayloadSender {
 public:
  void Attach(NetworkEndpoint* endpoint) { endpoint_.store(endpoint); }
  int32_t SendPayload(PeerRef& target, uint32_t inner_type, const uint8_t* data, uint32_t length) override {
    NetworkEndpoint* endpoint = endpoint_.load();
    if (!endpoint) return 0;
    return EndpointPayloadSender(*endpoint).SendPayload(target, inner_type, data, length);
  }

 private:
  std::atomic<NetworkEndpoint*> endpoint_{nullptr};
};

class HeldDhtNetwork final : public DhtNetwork {
 public:
  void Attach(NetworkEndpoint* endpoint) {
    auto network = endpoint ? std::make_shared<EndpointDhtNetwork>(*endpoint) : nullptr;
    std::lock_guard<std::mutex> g(lock_);
    network_ = std::move(network);
  }
  int PeerPresence(const uint32_t* user_id) override {
    auto network = Current();
    return network ? network->PeerPresence(user_id) : 0;
  }
  void UpdatePeerAddress(const PeerRef& node) override {
    if (auto network = Current()) network->UpdatePeerAddress(node);
  }

 private:
  std::shared_ptr<EndpointDhtNetwork> Current() {
    std::lock_guard<std::mutex> g(lock_);
    return network_;
  }
  std::mutex lock_;
  std::shared_ptr<EndpointDhtNetwork> network_;
};

}  // namespace orv
