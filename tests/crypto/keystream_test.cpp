#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "crypto/keystream.hpp"

namespace orv {
namespace {

std::vector<uint32_t> KeyBlock(uint32_t seed) {
  std::vector<uint32_t> block(kKeyBlockWords);
  for (uint32_t i = 0; i < kKeyBlockWords; ++i) block[i] = seed * 0x9e3779b9u + i * 0x85ebca6bu;
  return block;
}

std::vector<uint8_t> Read(KeystreamGenerator& g, size_t n) {
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = KeystreamNextByte(g);
  return out;
}

TEST(Keystream, LoadStartsAFixedSequenceAtPositionZero) {
  const auto key = KeyBlock(1);
  KeystreamGenerator a, b;
  Read(a, 5);
  KeystreamLoad(a, key.data());
  KeystreamLoad(b, key.data());
  EXPECT_EQ(a.position, 0u);
  EXPECT_EQ(a.index, 0u);
  EXPECT_EQ(a.tag_key[0], key[0]);
  EXPECT_EQ(a.tag_key[1], key[1]);
  EXPECT_EQ(a.tag_idea_key[0], static_cast<uint8_t>(key[2]));
  EXPECT_EQ(Read(a, 100), Read(b, 100));
  EXPECT_EQ(a.position, 100u);

  KeystreamGenerator c;
  const auto other = KeyBlock(2);
  KeystreamLoad(c, other.data());
  KeystreamLoad(a, key.data());
  EXPECT_NE(Read(a, 32), Read(c, 32));
}

TEST(Keystream, SeekCases) {
  const auto key = KeyBlock(7);
  KeystreamGenerator reference;
  KeystreamLoad(reference, key.data());
  const auto stream = Read(reference, 64);

  KeystreamGenerator g;
  KeystreamLoad(g, key.data());
  Read(g, 3);
  // To the current position: succeeds, nothing moves.
  EXPECT_TRUE(KeystreamSeek(g, 3));
  EXPECT_EQ(g.position, 3u);
  EXPECT_EQ(g.skipped, 0u);
  // From 3 to 11: eight bytes discarded, buffer index back at 3.
  EXPECT_TRUE(KeystreamSeek(g, 11));
  EXPECT_EQ(g.skipped, 8u);
  EXPECT_EQ(g.index, 3u);
  EXPECT_EQ(KeystreamNextByte(g), stream[11]);
  // Backwards: fails and changes nothing.
  const uint64_t position = g.position;
  EXPECT_FALSE(KeystreamSeek(g, 4));
  EXPECT_EQ(g.position, position);
  EXPECT_EQ(g.skipped, 8u);
  EXPECT_EQ(KeystreamNextByte(g), stream[12]);
  // A long forward seek consumes the keystream reading would.
  EXPECT_TRUE(KeystreamSeek(g, 60));
  EXPECT_EQ(Read(g, 4), std::vector<uint8_t>(stream.begin() + 60, stream.end()));
}

TEST(Keystream, ResetLeavesNoise) {
  const auto key = KeyBlock(3);
  KeystreamGenerator g;
  KeystreamLoad(g, key.data());
  Read(g, 10);
  KeystreamReset(g, false);
  EXPECT_EQ(g.position, 0u);
  EXPECT_EQ(g.skipped, 0u);
  EXPECT_EQ(g.index, 0u);
  EXPECT_EQ(g.tag_key[0], key[0]);  // a plain reset keeps the tag keys
  KeystreamGenerator fresh;
  KeystreamLoad(fresh, key.data());
  EXPECT_NE(Read(g, 16), Read(fresh, 16));
  KeystreamReset(g, true);
  EXPECT_NE(g.tag_key[0], key[0]);
}

}  // namespace
}  // namespace orv
