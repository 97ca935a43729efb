#include "dht/stored_pairs.hpp"

#include <algorithm>

namespace orv {
namespace {

bool Alive(const StoredPair& pair, uint64_t now) { return pair.expires > now; }

}  // namespace

StoreResult StorePair(StoredPairs& store, const uint32_t* key, const uint32_t* value, const uint32_t* sender,
                      uint64_t now) {
  if (IsZeroUserId(value)) return StoreResult::kRefused;
  size_t from_sender = 0;
  for (StoredPair& pair : store.pairs) {
    if (SameUserId(pair.key, key) && SameUserId(pair.value, value)) {
      pair.expires = now + kStoredPairLifetimeMs;
      CopyUserId(pair.sender, sender);
      return StoreResult::kAlreadyHeld;
    }
    from_sender += SameUserId(pair.sender, sender) && Alive(pair, now);
  }
  if (from_sender >= kMaxPairsPerSender) return StoreResult::kRefused;
  if (store.pairs.size() >= kMaxStoredPairs) ExpirePairs(store, now);
  if (store.pairs.size() >= kMaxStoredPairs) return StoreResult::kRefused;
  StoredPair pair;
  CopyUserId(pair.key, key);
  CopyUserId(pair.value, value);
  CopyUserId(pair.sender, sender);
  pair.expires = now + kStoredPairLifetimeMs;
  store.pairs.push_back(pair);
  return StoreResult::kStored;
}

const StoredPair* FindPair(const StoredPairs& store, const uint32_t* key, uint64_t now) {
  for (const StoredPair& pair : store.pairs)
    if (SameUserId(pair.key, key) && Alive(pair, now) && !IsZeroUserId(pair.value)) return &pair;
  return nullptr;
}

void ExpirePairs(StoredPairs& store, uint64_t now) {
  std::erase_if(store.pairs, [&](const StoredPair& pair) { return !Alive(pair, now); });
}

}  // namespace orv
