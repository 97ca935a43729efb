#include "crypto/keystream.hpp"

#include "crypto/byte_order.hpp"
#include "crypto/idea.hpp"
#include "crypto/pool_counter.hpp"
#include "crypto/wipe.hpp"
#include "crypto/xtea.hpp"

namespace orv {
namespace {

constexpr unsigned kKeystreamXxteaCycles = 20;

inline void Advance(KeystreamGenerator& g) {
  g.position += 1;
  g.index = (g.index + 1) & 7;
}

}  // namespace

KeystreamGenerator::KeystreamGenerator() { KeystreamReset(*this, true); }

KeystreamGenerator::~KeystreamGenerator() { KeystreamReset(*this, true); }

void KeystreamBlockStep(KeystreamGenerator& g) {
  uint32_t* s = g.state;
  PoolCounterStep(s);
  uint32_t saved[8];
  for (int i = 0; i < 8; ++i) saved[i] = s[4 + i];
  XxteaMix(s + 4, 8, s, kKeystreamXxteaCycles);
  for (int i = 0; i < 8; ++i) s[4 + i] ^= saved[i];
  uint8_t idea_key[16];
  WordsToLeBytes(idea_key, s + 4, 4);
  StoreLe32(g.buffer, s[2]);
  StoreLe32(g.buffer + 4, s[3]);
  IdeaBlock(g.buffer, idea_key);
  WipeWords(saved, 8);
  WipeBytes(idea_key, sizeof idea_key);
}

uint8_t KeystreamNextByte(KeystreamGenerator& g) {
  if (g.index == 0) KeystreamBlockStep(g);
  const uint8_t b = g.buffer[g.index];
  Advance(g);
  return b;
}

bool KeystreamSeek(KeystreamGenerator& g, uint64_t target) {
  if (target < g.position) return false;
  while (g.position != target) {
    g.skipped += 1;
    if (g.index == 0) KeystreamBlockStep(g);
    Advance(g);
  }
  return true;
}

void KeystreamLoad(KeystreamGenerator& g, const uint32_t* key_block) {
  g.tag_key[0] = key_block[0];
  g.tag_key[1] = key_block[1];
  WordsToLeBytes(g.tag_idea_key, key_block + 2, 4);
  for (int i = 0; i < 12; ++i) g.state[i] = key_block[6 + i];
  WipeAdvance();
  g.position = 0;
  g.skipped = 0;
  g.index = 0;
  WipeAdvance();
}

void KeystreamReset(KeystreamGenerator& g, bool full) {
  if (full) {
    WipeWords(g.tag_key, 2);
    WipeBytes(g.tag_idea_key, sizeof g.tag_idea_key);
  }
  for (auto& b : g.buffer) b = 0;
  g.index = 0;
  g.position = 0;
  g.skipped = 0;
  WipeWords(g.state, 12);
  WipeAdvance();
}

}  // namespace orv
