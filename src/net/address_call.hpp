// Calls to an address whose user is not known yet ("Connect to...", orvd's
// `connect`): pinged on the handshake's own schedule until a session with
// whoever answers at that address stands, or until nobody answered (or the
// handshake that started did not complete) and the call is given up. Either
// way the host hears how it ended (ConnectEnded).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/peer_ref.hpp"

namespace orv {

struct NetworkEndpoint;

// How long a call to an address keeps pinging (retry ticks): pings after 1,
// 2, 4, 8 and then every 10 s, for 45 s in all; a handshake still running
// then may finish, up to 120 s from the start.
constexpr uint64_t kAddressCallTicks = 450;
constexpr uint64_t kAddressCallLimitTicks = 1200;

struct AddressCall {
  uint32_t ipv4 = 0;
  uint16_t port = 0;
  uint64_t started = 0;    // retry tick
  uint64_t next_ping = 0;  // retry tick
  uint32_t interval = 0;   // ticks between the last two pings
};

struct ConnectOutcome {
  uint32_t ipv4 = 0;
  uint16_t port = 0;
  bool established = false;
  PeerRef peer;        // established: who answered there
  std::string reason;  // not established: why
};

// Starts (or restarts) a call to the address: one ping now. False while the
// endpoint is not enabled.
bool ConnectByAddress(NetworkEndpoint& endpoint, uint32_t ipv4, uint16_t port);

// One retry tick of every address call: the ones that ended are taken out
// and returned. Must hold the peer table lock.
std::vector<ConnectOutcome> TickAddressCalls(NetworkEndpoint& endpoint);

}  // namespace orv
