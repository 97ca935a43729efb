#include "crypto/packet_seal.hpp"

#include <cstdint>
#include <cstdio>

#include "crypto/byte_order.hpp"
#include "crypto/idea.hpp"
#include "crypto/random_pool.hpp"
#include "crypto/tea_hash.hpp"
#include "crypto/wipe.hpp"

namespace orv {

void SessionCipherReset(SessionCipherState& state) {
  state.keys_loaded = 0;
  WipeWords(state.peer_id, kUserIdWords);
  WipeWords(state.digest, kUserIdWords);
  KeystreamReset(state.send, true);
  KeystreamReset(state.receive, true);
  state.late.Clear();
  WipeAdvance();
}

uint32_t PacketTag(const KeystreamGenerator& g, const uint8_t* packet) {
  const size_t length = LoadBe32(packet);
  uint32_t h[2] = {g.tag_key[0], g.tag_key[1]};
  TeaHash64(h, packet, length + 12);
  IdeaBlockWords(h, g.tag_idea_key);
  return h[0] + h[1];
}

size_t SealPacket(KeystreamGenerator& g, uint8_t* out, const uint8_t* payload, size_t length) {
  if (length == 0 || length > g.max_payload) return 0;
  StoreBe32(out, static_cast<uint32_t>(length));
  StoreBe64(out + 4, g.position);
  RandomStir(payload, static_cast<uint32_t>(length));
  for (size_t i = 0; i < length; ++i) out[12 + i] = payload[i] ^ KeystreamNextByte(g);
  StoreBe32(out + 12 + length, PacketTag(g, out));
  return length + kSealOverhead;
}

namespace {

// The payload length of a packet whose length and tag check out under
// `g`, else 0. Its position is not looked at.
size_t TaggedPayload(const KeystreamGenerator& g, const uint8_t* packet, size_t length, size_t capacity) {
  if (length <= kSealOverhead || length > g.max_payload + kSealOverhead) return 0;
  const size_t payload = LoadBe32(packet);
  if (payload == 0 || payload > g.max_payload || length < payload + kSealOverhead || payload > capacity) return 0;
  if (PacketTag(g, packet) != LoadBe32(packet + 12 + payload)) return 0;
  return payload;
}

bool AheadInReach(const KeystreamGenerator& g, uint64_t position) {
  return position >= g.position && position - g.position <= kMaxSkipAhead;
}

// The payload length of a packet that opens under `g` at or after its
// position, else 0.
size_t CheckedPayload(const KeystreamGenerator& g, const uint8_t* packet, size_t length, size_t capacity) {
  const size_t payload = TaggedPayload(g, packet, length, capacity);
  return payload && AheadInReach(g, LoadBe64(packet + 4)) ? payload : 0;
}

// A packet behind the generator, from the keystream kept for it.
size_t OpenLate(const KeystreamGenerator& g, LateKeystream& late, uint8_t* out, const uint8_t* packet, size_t payload) {
  const uint64_t position = LoadBe64(packet + 4);
  if (!late.Take(g, position, payload, out)) return 0;
  for (size_t i = 0; i < payload; ++i) out[i] ^= packet[12 + i];
  RandomStir(out, static_cast<uint32_t>(payload));
  return payload;
}

}  // namespace

bool PacketOpens(const KeystreamGenerator& g, const uint8_t* packet, size_t length) {
  return CheckedPayload(g, packet, length, SIZE_MAX) != 0;
}

size_t OpenPacket(KeystreamGenerator& g, uint8_t* out, size_t capacity, const uint8_t* packet, size_t length,
                  LateKeystream* late) {
  const size_t payload = TaggedPayload(g, packet, length, capacity);
  if (payload == 0) return 0;
  const uint64_t position = LoadBe64(packet + 4);
  if (!AheadInReach(g, position)) {
    if (!late || position >= g.position) return 0;
    const size_t opened = OpenLate(g, *late, out, packet, payload);
    if (opened) g.skipped -= opened;  // not lost after all
    return opened;
  }
  if (late) {
    late->SeekKeeping(g, position);
    late->Passing(g, payload);
  } else {
    KeystreamSeek(g, position);
  }
  for (size_t i = 0; i < payload; ++i) out[i] = packet[12 + i] ^ KeystreamNextByte(g);
  RandomStir(out, static_cast<uint32_t>(payload));
  return payload;
}

void SessionIdText(const SessionCipherState& state, char* out) {
  const uint32_t* d = state.digest;
  std::snprintf(out, 25, "%04X %04X %04X %04X %04X", d[0] & 0xffff, d[0] >> 16, d[1] & 0xffff, d[1] >> 16,
                d[2] & 0xffff);
}

}  // namespace orv
