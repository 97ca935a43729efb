// What the receive loop hands its handlers for one datagram, and what they
// leave to be done once the peer table lock is released.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/consumers.hpp"
#include "net/datagram.hpp"
#include "net/peer_ref.hpp"
#include "net/peer_table.hpp"

namespace orv {

struct NetworkEndpoint;

struct Arrival {
  const uint8_t* data = nullptr;  // the whole datagram
  size_t length = 0;
  uint32_t type_word = 0;
  uint32_t type = 0;              // bits 0-7
  PeerRef sender;                 // header UserId and source address
  std::shared_ptr<PeerRecord> peer;
  const NetworkConsumers* consumers = nullptr;
  uint8_t* plaintext = nullptr;   // kMaxDatagram bytes for opened packets
};

struct Aftermath {
  std::string log_text;                             // logged with source "Network"
  const uint8_t* payload = nullptr;                 // plaintext for DispatchPayload
  size_t payload_length = 0;
  size_t plaintext_used = 0;                        // bytes of plaintext to wipe
  std::vector<std::array<uint32_t, kUserIdWords>> found_users;  // from "name_resp"
  bool session_ended = false;                       // "ses_terminate" ended the session
};

// The peer lock, tried. When it is had and RestartNetwork asked for the
// setup to go while a worker held the lock, the setup goes now: every
// holder of the table lock takes the peer lock this way before it looks at
// the setup. Must hold the peer table lock.
std::unique_lock<std::mutex> TryPeerLock(PeerRecord& peer);

// True when the lock was not had or a worker is about to take it: the
// peer counts as busy.
bool PeerBusy(const PeerRecord& peer, const std::unique_lock<std::mutex>& lock);

// The shared record of `user_id`, or null. Must hold the peer table lock.
std::shared_ptr<PeerRecord> FindPeerShared(NetworkEndpoint& endpoint, const uint32_t* user_id);

}  // namespace orv
