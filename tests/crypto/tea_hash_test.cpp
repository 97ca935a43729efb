#include <gtest/gtest.h>

#include <cstdint>

#include "crypto/tea_hash.hpp"
#include "crypto/xtea.hpp"

namespace orv {
namespace {

TEST(TeaHash64, EmptyInputLeavesTheChainingValue) {
  uint32_t h[2] = {0x12345678, 0x9abcdef0};
  TeaHash64(h, nullptr, 0);
  EXPECT_EQ(h[0], 0x12345678u);
  EXPECT_EQ(h[1], 0x9abcdef0u);
}

TEST(TeaHash64, EightBytesRunOneBlockUnderTheChainingKey) {
  const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint32_t h[2] = {0x11111111, 0x22222222};
  // One block by hand: tweaks u1 = 0 * 31 ^ c, u2 = u1 * 31 ^ c.
  const uint32_t u1 = 0x6a551ee9u, u2 = (u1 * 31) ^ 0x6a551ee9u;
  const uint32_t key[4] = {h[0], h[1], u1, u2};
  const uint32_t m[2] = {0x04030201u, 0x08070605u};
  uint32_t e[2] = {m[0], m[1]};
  Xtea66Encrypt(e, key);
  TeaHash64(h, data, 8);
  EXPECT_EQ(h[0], e[0] ^ m[0]);
  EXPECT_EQ(h[1], e[1] ^ m[1]);
}

TEST(TeaHash64, NineBytesRunTwoBlocksTheSecondZeroFilled) {
  const uint8_t nine[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const uint8_t sixteen[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 0, 0, 0, 0};
  uint32_t a[2] = {5, 6}, b[2] = {5, 6}, c[2] = {5, 6};
  TeaHash64(a, nine, 9);
  TeaHash64(b, sixteen, 16);
  TeaHash64(c, nine, 8);
  EXPECT_EQ(a[0], b[0]);
  EXPECT_EQ(a[1], b[1]);
  EXPECT_NE(a[0], c[0]);
}

}  // namespace
}  // namespace orv
