// The one call every engine above the network uses to send an inner
// payload, as an interface: engines take a PayloadSender so that unit tests
// capture what they send, while a running node hands them an
// EndpointPayloadSender over its endpoint.
#pragma once

#include <cstdint>

#include "net/endpoint.hpp"
#include "net/peer_ref.hpp"

namespace orv {

class PayloadSender {
 public:
  virtual ~PayloadSender() = default;
  // SendToPeer: the bytes sent, -1 on a socket error, 0 when nothing went
  // out (no session yet: a ping starts one). An all-zero UserId in `target`
  // is filled in when a peer at that address is known. Callable from any
  // thread; fire-and-forget.
  virtual int32_t SendPayload(PeerRef& target, uint32_t inner_type, const uint8_t* data, uint32_t length) = 0;
};

class EndpointPayloadSender : public PayloadSender {
 public:
  explicit EndpointPayloadSender(NetworkEndpoint& endpoint) : endpoint_(endpoint) {}
  int32_t SendPayload(PeerRef& target, uint32_t inner_type, const uint8_t* data, uint32_t length) override {
    SendRequest request;
    request.target = &target;
    request.inner_type = inner_type;
    request.data = data;
    request.length = length;
    return SendToPeer(endpoint_, request);
  }

 private:
  NetworkEndpoint& endpoint_;
};

}  // namespace orv
