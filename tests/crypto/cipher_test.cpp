#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "crypto/idea.hpp"
#include "crypto/xtea.hpp"

namespace orv {
namespace {

TEST(IdeaBlock, PublishedVector) {
  // Key 0001 0002 ... 0008, plaintext 0000 0001 0002 0003.
  const uint8_t key[16] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8};
  uint8_t block[8] = {0, 0, 0, 1, 0, 2, 0, 3};
  IdeaBlock(block, key);
  const uint8_t expected[8] = {0x11, 0xFB, 0xED, 0x2B, 0x01, 0x98, 0x6D, 0xE5};
  EXPECT_EQ(std::vector<uint8_t>(block, block + 8), std::vector<uint8_t>(expected, expected + 8));
}

TEST(IdeaBlock, WordFormIsTheLittleEndianBytesOfYThenZ) {
  const uint8_t key[16] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8};
  uint32_t words[2] = {0x01000000u, 0x03000200u};  // bytes 00 00 00 01 00 02 00 03
  IdeaBlockWords(words, key);
  EXPECT_EQ(words[0], 0x2BEDFB11u);
  EXPECT_EQ(words[1], 0xE56D9801u);
}

// Published XXTEA runs 6 + 52/n cycles.
unsigned PublishedCycles(size_t n) { return static_cast<unsigned>(6 + 52 / n); }

TEST(XxteaMix, PublishedVectors) {
  struct Case {
    std::array<uint32_t, 4> key;
    std::vector<uint32_t> plain;
    std::vector<uint32_t> cipher;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, {0, 0}, {0x053704ab, 0x575d8c80}},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> v = c.plain;
    XxteaMix(v.data(), v.size(), c.key.data(), PublishedCycles(v.size()));
    EXPECT_EQ(v, c.cipher);
  }
}

// The published corrected Block TEA encoder, transcribed as it was printed
// (the positive-n branch of btea), as an oracle for other run lengths.
void PublishedBtea(uint32_t* v, int n, const uint32_t* key) {
  uint32_t y, z, sum = 0;
  unsigned p, rounds = 6 + 52 / static_cast<unsigned>(n), e;
  z = v[n - 1];
  do {
    sum += 0x9e3779b9;
    e = (sum >> 2) & 3;
    for (p = 0; p < static_cast<unsigned>(n - 1); p++) {
      y = v[p + 1];
      z = v[p] += (((z >> 5 ^ y << 2) + (y >> 3 ^ z << 4)) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z)));
    }
    y = v[0];
    z = v[n - 1] += (((z >> 5 ^ y << 2) + (y >> 3 ^ z << 4)) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z)));
  } while (--rounds);
}

TEST(XxteaMix, MatchesThePublishedEncoderForEveryRunLength) {
  const uint32_t key[4] = {0x01234567, 0x89abcdef, 0xfedcba98, 0x76543210};
  for (int n : {2, 3, 5, 8, 13, 128, 252}) {
    std::vector<uint32_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = 0x9e3779b9u * static_cast<uint32_t>(i + 1);
    std::vector<uint32_t> expected = v;
    PublishedBtea(expected.data(), n, key);
    XxteaMix(v.data(), v.size(), key, PublishedCycles(v.size()));
    EXPECT_EQ(v, expected) << "n = " << n;
  }
}

TEST(Xtea66, DecryptionInvertsEncryption) {
  uint32_t seed = 1;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int i = 0; i < 200; ++i) {
    const uint32_t key[4] = {next(), next(), next(), next()};
    const uint32_t plain[2] = {next(), next()};
    uint32_t block[2] = {plain[0], plain[1]};
    Xtea66Encrypt(block, key);
    EXPECT_FALSE(block[0] == plain[0] && block[1] == plain[1]);
    Xtea66Decrypt(block, key);
    EXPECT_EQ(block[0], plain[0]);
    EXPECT_EQ(block[1], plain[1]);
  }
}

}  // namespace
}  // namespace orv
