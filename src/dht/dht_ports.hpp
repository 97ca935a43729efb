// What the DHT engine needs around it besides PayloadSender: the network
// layer's view of a peer (presence, address reports), a clock, and a place
// to report what a person should see (users located, lookups ended, names
// found). Each is an interface so that a simulated network and tests stand
// in for the endpoint and the windows.
#pragma once

#include <chrono>
#include <cstdint>

#include "net/peer_ref.hpp"

namespace orv {

class DhtNetwork {
 public:
  virtual ~DhtNetwork() = default;
  // 0 no session with the peer, 1 a session and the peer online, 2 a session
  // and the peer away; -1 when that cannot be told without waiting (the
  // engine then assumes a session). Called with the DHT lock held, perhaps
  // also by a caller that holds the store lock: never waits for the peer
  // table lock.
  virtual int PeerPresence(const uint32_t* user_id) = 0;
  // A node named by another node: its address is recorded for a known peer
  // without session, an unknown one is pinged. Called without the DHT lock.
  virtual void UpdatePeerAddress(const PeerRef& node) = 0;
};

// Milliseconds since some fixed start (the process start for the real clock).
class DhtClock {
 public:
  virtual ~DhtClock() = default;
  virtual uint64_t NowMs() = 0;
};

class SteadyDhtClock : public DhtClock {
 public:
  uint64_t NowMs() override {
    const auto since = std::chrono::steady_clock::now() - start_;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Called without the DHT lock, from the thread that made the discovery (the
// receive thread, the DHT thread or the caller of LocateUser): post to the
// interface thread rather than touching a window.
class DhtEvents {
 public:
  virtual ~DhtEvents() = default;
  // A lookup started by LocateUser is over: `found` holds the user's node
  // when the lookup reached it, null when no node was left to ask.
  virtual void LookupEnded(const uint32_t* target, const PeerRef* found) = 0;
  // A name search found a user published under one of its keywords.
  virtual void NameFound(const uint32_t* user_id) = 0;
};

}  // namespace orv
