// The (key, value) pairs this node keeps for others, in arrival order.
// Bounded: at most kMaxStoredPairs in all and kMaxPairsPerSender from one
// sender; a pair not stored again within kStoredPairLifetimeMs expires. An
// all-zero value is never kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/peer_ref.hpp"

namespace orv {

constexpr size_t kMaxStoredPairs = 4096;
constexpr size_t kMaxPairsPerSender = 16;
constexpr uint64_t kStoredPairLifetimeMs = 60ull * 60 * 1000;

struct StoredPair {
  uint32_t key[kUserIdWords] = {};
  uint32_t value[kUserIdWords] = {};
  uint32_t sender[kUserIdWords] = {};  // who stored it last
  uint64_t expires = 0;                // ms
};

enum class StoreResult { kStored, kAlreadyHeld, kRefused };

struct StoredPairs {
  std::vector<StoredPair> pairs;
};

// A pair already held is kept (its lifetime starts again) and reported as
// held; a new one is appended unless its value is all zero, the store is
// full or the sender holds its share already.
StoreResult StorePair(StoredPairs& store, const uint32_t* key, const uint32_t* value, const uint32_t* sender,
                      uint64_t now);

// The first pair with that key still alive, or null.
const StoredPair* FindPair(const StoredPairs& store, const uint32_t* key, uint64_t now);

// Removes the pairs whose lifetime is over.
void ExpirePairs(StoredPairs& store, uint64_t now);

}  // namespace orv
