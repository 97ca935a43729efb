// Routing of the plaintext of every "encoded" datagram that opened
// correctly: the inner type (32-bit little-endian) picks the owner of the
// data after it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/consumers.hpp"
#include "net/peer_ref.hpp"

namespace orv {

enum InnerType : uint32_t { kInnerDht = 0, kInnerCallChannel = 1, kInnerFileTransfer = 2 };

// Inner type 0 to the DHT, 2 to file transfer, 1 to the conversations (code
// 0 as a connection request, others to the sender's call channel, or a new
// conversation when there is none); others are dropped. Runs on the
// receive thread without network locks.
void DispatchPayload(const NetworkConsumers& consumers, const uint8_t* plaintext, size_t length,
                     const PeerRef& sender);

}  // namespace orv
