// The receive thread: every datagram is checked, traced, and handed to the
// handshake reactions or the protected path with the peer table lock held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stop_token>

namespace orv {

struct NetworkEndpoint;

// Receives until stop is requested; each wait ends after at most 100 ms.
void ReceiveThread(NetworkEndpoint& endpoint, std::stop_token stop);

// Handles one received datagram of `length` bytes (at most 8192) from the
// address. `plaintext` has room for 8192 bytes.
void HandleDatagram(NetworkEndpoint& endpoint, const uint8_t* data, size_t length, uint32_t ipv4, uint16_t port,
                    uint8_t* plaintext);

}  // namespace orv
