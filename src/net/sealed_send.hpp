// Sending a sealed datagram ("encoded", "name_req", "name_resp") with the
// send generator of a peer's session.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/peer_table.hpp"

namespace orv {

struct NetworkEndpoint;

// Seals `length` plaintext bytes with the peer's send generator and sends
// header + sealed body to the address, with its packet trace line. The
// socket's result, or 0 when nothing could be sealed. Must hold the peer
// table lock.
int32_t SendSealed(NetworkEndpoint& endpoint, PeerRecord& peer, uint32_t type, const uint8_t* plaintext,
                   size_t length, uint32_t ipv4, uint16_t port);

}  // namespace orv
