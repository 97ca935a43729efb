// Work the engine collects under its DHT lock and does once the lock is
// released: address reports to the network layer, lookups to start, and
// the events a person sees.
#pragma once

#include <array>
#include <vector>

#include "dht/dht_engine.hpp"

namespace orv {

using UserIdWords = std::array<uint32_t, kUserIdWords>;

inline UserIdWords IdWords(const uint32_t* id) {
  UserIdWords words;
  CopyUserId(words.data(), id);
  return words;
}

struct DhtEngine::Pending {
  std::vector<PeerRef> address_updates;
  std::vector<UserIdWords> locate;
  std::vector<UserIdWords> names_found;
  bool lookup_ended = false;
  UserIdWords ended_target{};
  bool target_found = false;
  PeerRef found;
  ContactObserver* store = nullptr;  // told of `noted` when set
  PeerRef noted;
};

}  // namespace orv
