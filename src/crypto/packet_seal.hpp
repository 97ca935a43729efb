// Protection of every packet of a session: a big-endian length and keystream
// position, the payload XOR the keystream, and a 32-bit tag (16 bytes of
// overhead). Old, replayed and too-far-ahead packets are refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/certificate.hpp"
#include "crypto/keystream.hpp"
#include "crypto/late_keystream.hpp"

namespace orv {

constexpr size_t kSealOverhead = 16;
// How far ahead of the receiver a packet may start: the keystream of lost
// packets in between is generated to get there. A megabyte is what a
// transfer or a chat burst sends in a few seconds of outage.
constexpr uint64_t kMaxSkipAhead = 0x100000;

// The keys of one peer connection.
struct SessionCipherState {
  uint32_t keys_loaded = 0;
  uint32_t peer_id[kUserIdWords] = {};
  uint32_t digest[kUserIdWords] = {};  // first 8 words of the transcript digest
  KeystreamGenerator send;
  KeystreamGenerator receive;
  LateKeystream late;  // what `receive` passed over, for packets that come late
};

// Clears keys, ids and both generators (filled with wipe generator noise).
void SessionCipherReset(SessionCipherState& state);

// Tag over the header and ciphertext of a sealed packet (12 + L bytes, L
// read from its first four bytes).
uint32_t PacketTag(const KeystreamGenerator& g, const uint8_t* packet);

// Seals `length` payload bytes into out (length + 16 bytes). Returns
// length + 16, or 0 if length is 0 or above the maximum payload.
size_t SealPacket(KeystreamGenerator& g, uint8_t* out, const uint8_t* payload, size_t length);

// Opens a sealed packet into out (capacity bytes). Returns the payload
// length, or 0 if the packet is refused; a refused packet changes nothing.
// With `late`, the keystream skipped over is kept there, and a packet
// behind the generator opens once from it (the network reordered it).
size_t OpenPacket(KeystreamGenerator& g, uint8_t* out, size_t capacity, const uint8_t* packet, size_t length,
                  LateKeystream* late = nullptr);

// Whether OpenPacket would take the packet, without opening it: the keys
// and position check out and the tag is right.
bool PacketOpens(const KeystreamGenerator& g, const uint8_t* packet, size_t length);

// Text of the session id shown to users: the first five 16-bit units of
// the digest, "%04X %04X %04X %04X %04X".
void SessionIdText(const SessionCipherState& state, char* out /* 25 bytes */);

}  // namespace orv
