// The byte keystream of one direction of a session, with the tag keys and
// the maximum payload length that packet sealing and opening use.
#pragma once

#include <cstdint>

namespace orv {

constexpr uint32_t kKeyBlockWords = 18;
constexpr uint32_t kMaxSealedPayload = 32768;

struct KeystreamGenerator {
  // Starts fully reset: noise from the wipe generator, not a fixed sequence.
  KeystreamGenerator();
  ~KeystreamGenerator();
  KeystreamGenerator(const KeystreamGenerator&) = default;
  KeystreamGenerator& operator=(const KeystreamGenerator&) = default;

  uint8_t buffer[8];
  uint32_t index;        // 0..7, next byte of the buffer
  uint32_t state[12];    // words 0..3 a 128-bit counter, 4..11 secret state
  uint64_t position;     // keystream bytes consumed so far
  uint64_t skipped;      // bytes passed over by seeks
  uint32_t tag_key[2];
  uint8_t tag_idea_key[16];
  uint32_t max_payload = kMaxSealedPayload;
};

// Produces the next 8 keystream bytes into the buffer.
void KeystreamBlockStep(KeystreamGenerator& g);

uint8_t KeystreamNextByte(KeystreamGenerator& g);

// Moves forward to `target`, discarding the keystream in between. Fails
// (false, nothing changed) when target is behind the current position.
bool KeystreamSeek(KeystreamGenerator& g, uint64_t target);

// Loads tag key, tag IDEA key and state from an 18-word key block.
void KeystreamLoad(KeystreamGenerator& g, const uint32_t* key_block);

// Clears buffer and counters and fills the state with wipe generator words;
// a full reset also refills the tag keys.
void KeystreamReset(KeystreamGenerator& g, bool full);

}  // namespace orv
