// UserIds as DHT keys: XOR distance, bucket numbers, and the 40-byte
// NodeEntry that names a node in DHT messages (the PeerRef layout).
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/peer_ref.hpp"

namespace orv {

constexpr size_t kBucketCount = 256;
constexpr size_t kBucketSize = 20;     // K: nodes per bucket
constexpr size_t kCandidateSlots = 10;  // live nodes waiting for room in a full bucket
constexpr size_t kNodeEntryBytes = 40;

// The index of the highest set bit of a XOR b (0..255; bit 31 of word 0 is
// bit 255), or -1 when a equals b.
int BucketIndex(const uint32_t* a, const uint32_t* b);

// Compares the XOR distances of a and b to key, word 0 first: negative when
// a is closer, 0 when equally far, positive when b is closer.
int CompareDistance(const uint32_t* key, const uint32_t* a, const uint32_t* b);

inline bool CloserTo(const uint32_t* key, const uint32_t* a, const uint32_t* b) {
  return CompareDistance(key, a, b) < 0;
}

// A NodeEntry: UserId words little-endian, IPv4 (host-order number)
// little-endian, port 16-bit little-endian, two zero bytes.
void StoreNodeEntry(uint8_t* out, const PeerRef& node);
PeerRef LoadNodeEntry(const uint8_t* in);

// An entry can be reached only with an address and a port.
inline bool Reachable(const PeerRef& node) { return node.ipv4 != 0 && node.port != 0; }

// The same node: equal UserIds when either is known, else equal addresses.
inline bool SameNode(const PeerRef& a, const PeerRef& b) {
  if (IsZeroUserId(a.user_id) && IsZeroUserId(b.user_id)) return SameAddress(a, b);
  return SameUserId(a.user_id, b.user_id);
}

}  // namespace orv
