// Sending datagrams: the header with the own UserId and the type word
// (with the away bit), each datagram traced. None of these needs the peer
// table lock; callers that pass a counter of a PeerRecord keep the record
// alive.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace orv {

struct NetworkEndpoint;

// Bytes sent, or -1: one datagram to the address.
int32_t SendDatagram(NetworkEndpoint& endpoint, uint32_t ipv4, uint16_t port, const uint8_t* data, size_t length);

// The header followed by n 32-bit words, the first of which is the type
// word (36 + 4(n - 1) bytes). The trace shows `trace_id` and 4n bytes (the
// words after the UserId); `counter`, when given, counts 1.
void SendSmall(NetworkEndpoint& endpoint, uint32_t ipv4, uint16_t port, const uint32_t* trace_id,
               const uint32_t* words, size_t n, std::atomic<uint32_t>* counter);

// A message of `length` bytes as ceil(length / 348) fragments of `type`,
// in index order; `counter` counts each. A message of length 0 sends nothing.
void SendFragmented(NetworkEndpoint& endpoint, uint32_t ipv4, uint16_t port, const uint32_t* trace_id,
                    const uint8_t* message, size_t length, uint32_t type, std::atomic<uint32_t>* counter);

// "ping_req" or "ping_resp" (version 2, build 298), 44 bytes.
void SendPing(NetworkEndpoint& endpoint, uint32_t type, uint32_t ipv4, uint16_t port, const uint32_t* trace_id,
              std::atomic<uint32_t>* counter);

// "busy", "reject" or "confirmed": the header alone.
void SendSignal(NetworkEndpoint& endpoint, uint32_t type, uint32_t ipv4, uint16_t port, const uint32_t* trace_id,
                std::atomic<uint32_t>* counter);

// The type word of a datagram sent now (the away bit as currently set).
uint32_t OutgoingTypeWord(const NetworkEndpoint& endpoint, uint32_t type, uint32_t count = 0, uint32_t index = 0);

}  // namespace orv
