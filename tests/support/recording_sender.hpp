// A PayloadSender that keeps every payload sent, for tests that read what
// an engine sent. `Payload` is the test's own view of one payload, made
// from {target, inner type, bytes}.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "net/payload_sender.hpp"

namespace orv::test {

template <typename Payload>
class PayloadRecorder : public PayloadSender {
 public:
  int32_t SendPayload(PeerRef& target, uint32_t inner_type, const uint8_t* data, uint32_t length) override {
    std::lock_guard<std::mutex> g(lock_);
    sent_.push_back({target, inner_type, std::vector<uint8_t>(data, data + length)});
    return static_cast<int32_t>(length);
  }
  // What was sent since the last Take, in order.
  std::vector<Payload> Take() {
    std::lock_guard<std::mutex> g(lock_);
    return std::exchange(sent_, {});
  }

 private:
  std::mutex lock_;
  std::vector<Payload> sent_;
};

}  // namespace orv::test
