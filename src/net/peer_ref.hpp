// How the network layer and everything above it names a peer: its UserId
// and its last known IPv4 address and UDP port. A PeerRef whose UserId is
// all zero names a peer by address only.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "crypto/certificate.hpp"

namespace orv {

struct PeerRef {
  uint32_t user_id[kUserIdWords] = {};
  uint32_t ipv4 = 0;  // host order, first number of the text form in the top byte
  uint16_t port = 0;  // host order
};

inline bool IsZeroUserId(const uint32_t* id) {
  for (size_t i = 0; i < kUserIdWords; ++i)
    if (id[i] != 0) return false;
  return true;
}

inline bool SameUserId(const uint32_t* a, const uint32_t* b) {
  return std::memcmp(a, b, kUserIdWords * sizeof(uint32_t)) == 0;
}

inline void CopyUserId(uint32_t* dst, const uint32_t* src) {
  std::memcpy(dst, src, kUserIdWords * sizeof(uint32_t));
}

inline bool SameAddress(const PeerRef& a, const PeerRef& b) { return a.ipv4 == b.ipv4 && a.port == b.port; }

// "%d.%d.%d.%d:%d", the way every network text names an address.
std::string AddressText(uint32_t ipv4, uint16_t port);

}  // namespace orv
