#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "crypto/block_hash.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

// Walk outputs one compression takes: per round n/2 + n/2 + n (IDEA keys)
// + 2 (XXTEA key) + n, for n/2 rounds.
uint64_t WalkAfter(size_t width, size_t blocks) {
  uint64_t steps = (width - 2) + blocks * (width / 2) * (3 * width + 2);
  uint64_t s = 0;
  for (uint64_t i = 0; i < steps; ++i) s = WipeNext(s);
  return s;
}

TEST(BlockHash, BlockCountFollowsWidthAndLength) {
  struct Case {
    size_t width, length, blocks;
  };
  const Case cases[] = {{36, 512, 4}, {128, 2048, 4}, {8, 32, 1}, {8, 33, 2}, {12, 0, 0}, {12, 544, 12}};
  for (const auto& c : cases) {
    std::vector<uint8_t> data(c.length, 0xA5);
    std::vector<uint32_t> h(c.width);
    BlockHashContext ctx(c.width);
    uint64_t walk = 0;
    BlockHashUpdate(ctx, h.data(), data.data(), data.size(), 0, &walk, true);
    EXPECT_EQ(walk, WalkAfter(c.width, c.blocks)) << c.width << " / " << c.length;
  }
}

TEST(BlockHash, StartValuesHoldLengthTotalAndTheWalk) {
  BlockHashContext ctx(8);
  uint32_t h[8];
  BlockHashUpdate(ctx, h, nullptr, 0, 1536, nullptr, true);
  EXPECT_EQ(h[0], 0u);
  EXPECT_EQ(h[1], 1536u);
  uint64_t s = 0;
  for (int i = 2; i < 8; ++i) {
    s = WipeNext(s);
    EXPECT_EQ(h[i], WipeOutput(s));
  }
}

TEST(BlockHash, ShortLastBlockIsZeroFilled) {
  std::vector<uint8_t> data(500);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
  std::vector<uint8_t> padded = data;
  padded.resize(576, 0);  // four blocks of 144 bytes
  std::vector<uint8_t> other = padded;
  other[540] = 1;

  auto run = [](const std::vector<uint8_t>& bytes) {
    BlockHashContext ctx(36);
    std::vector<uint32_t> h(36, 0x5555aaaa);
    uint64_t walk = 42;
    BlockHashUpdate(ctx, h.data(), bytes.data(), bytes.size(), 0, &walk, false);
    return h;
  };
  EXPECT_EQ(run(data), run(padded));
  EXPECT_NE(run(data), run(other));
}

TEST(BlockHash, ChainedCallsContinueOneStream) {
  std::vector<uint32_t> g(128), y(128), p(128);
  for (uint32_t i = 0; i < 128; ++i) {
    g[i] = i * 0x01010101u;
    y[i] = ~i;
    p[i] = i ^ 0xdeadbeefu;
  }
  uint32_t id[8];
  Fingerprint(id, g.data(), y.data(), p.data());

  // The same stream split differently: g alone, then y and p in one call.
  std::vector<uint32_t> yp(y);
  yp.insert(yp.end(), p.begin(), p.end());
  BlockHashContext ctx(8);
  uint32_t h[8];
  uint64_t walk = 0;
  BlockHashUpdateWords(ctx, h, g.data(), 128, 1536, &walk, true);
  BlockHashUpdateWords(ctx, h, yp.data(), 256, 0, &walk, false);
  EXPECT_EQ(std::vector<uint32_t>(id, id + 8), std::vector<uint32_t>(h, h + 8));

  // Any change in any of the three values changes the user id.
  p[127] ^= 0x80000000u;
  uint32_t changed[8];
  Fingerprint(changed, g.data(), y.data(), p.data());
  EXPECT_NE(std::vector<uint32_t>(id, id + 8), std::vector<uint32_t>(changed, changed + 8));
}

TEST(BlockHash, WordsHashAsTheirLittleEndianBytes) {
  const uint32_t words[3] = {0x04030201u, 0x08070605u, 0x0c0b0a09u};
  const uint8_t bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  BlockHashContext a(12), b(12);
  uint32_t ha[12], hb[12];
  BlockHashUpdateWords(a, ha, words, 3, 12, nullptr, true);
  BlockHashUpdate(b, hb, bytes, 12, 12, nullptr, true);
  EXPECT_EQ(std::vector<uint32_t>(ha, ha + 12), std::vector<uint32_t>(hb, hb + 12));
}

TEST(BlockHash, WipeOverwritesBuffersAndWalk) {
  BlockHashContext ctx(8);
  uint32_t h[8];
  const uint8_t data[40] = {};
  BlockHashUpdate(ctx, h, data, sizeof data, 40, nullptr, true);
  const auto before = ctx.block;
  const uint64_t walk = ctx.walk;
  BlockHashWipe(ctx);
  EXPECT_NE(ctx.block, before);
  EXPECT_NE(ctx.walk, walk);
}

// Digests are part of the wire and file formats (user ids, signatures), so
// their values must never drift: these were produced by this implementation.
TEST(BlockHash, Hash256KnownValues) {
  uint32_t h[8];
  const uint8_t abc[3] = {'a', 'b', 'c'};
  Hash256(h, abc, 3);
  EXPECT_EQ(std::vector<uint32_t>(h, h + 8),
            (std::vector<uint32_t>{0xd45c3df8, 0xb29343de, 0x751ddf77, 0xf4511b05, 0x29d16655, 0x0ab84e44,
                                   0xde9ede95, 0x6140de60}));
  // No data: the start values alone.
  Hash256(h, nullptr, 0);
  EXPECT_EQ(std::vector<uint32_t>(h, h + 8),
            (std::vector<uint32_t>{0, 0, 0xa3388bc7, 0xdf63e8c5, 0x64c7bfc1, 0x17596f0a, 0x0f7400a7, 0x8584e412}));
}

}  // namespace
}  // namespace orv
