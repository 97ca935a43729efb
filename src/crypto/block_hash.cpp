#include "crypto/block_hash.hpp"

#include "crypto/byte_order.hpp"
#include "crypto/idea.hpp"
#include "crypto/wipe.hpp"
#include "crypto/xtea.hpp"

namespace orv {
namespace {

constexpr unsigned kCompressXxteaCycles = 66;
constexpr int kPassesPerSet = 16;

inline uint32_t WalkOutput(uint64_t& s) {
  s = WipeNext(s);
  return WipeOutput(s);
}

inline uint32_t Spread(uint32_t t) {
  uint32_t u = (t ^ 0xdf15e92u) * 31;
  return RotateRight(u ^ (u >> 9), 13);
}

// Sixteen passes of the spreading chain over a, with one counter for the set.
void MixPassSet(uint32_t* a, size_t n) {
  uint32_t k = 0;
  for (int pass = 0; pass < kPassesPerSet; ++pass) {
    for (size_t j = 1; j < n; ++j) a[j] += Spread(a[j - 1] + k++);
    a[0] += Spread(a[n - 1] + k++);
  }
}

// Bytes of 4 words in little-endian order, as an IDEA or XTEA key.
inline void KeyBytes(uint8_t* key, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
  StoreLe32(key, w0);
  StoreLe32(key + 4, w1);
  StoreLe32(key + 8, w2);
  StoreLe32(key + 12, w3);
}

void Compress(BlockHashContext& ctx, uint32_t* h) {
  const size_t n = ctx.width, half = n / 2;
  uint32_t* b = ctx.block.data();
  uint64_t& s = ctx.walk;
  for (size_t r = 0; r < ctx.rounds; ++r) {
    for (size_t i = 0; i < half; ++i) b[i] ^= h[i];
    for (size_t i = half; i < n; ++i) b[i] ^= WalkOutput(s);
    MixPassSet(b, n);
    for (size_t i = 0; i < half; ++i) b[i] ^= h[half + i];
    for (size_t i = half; i < n; ++i) b[i] ^= WalkOutput(s);
    MixPassSet(b, n);
    for (size_t i = 0; i < n; i += 2) {
      uint8_t key[16];
      const uint32_t o1 = WalkOutput(s), o2 = WalkOutput(s);
      KeyBytes(key, h[i], h[i + 1], o1, o2);
      IdeaBlockWords(b + i, key);
    }
    const uint32_t o3 = WalkOutput(s), o4 = WalkOutput(s);
    const uint32_t key[4] = {h[2 * r], h[2 * r + 1], o3, o4};
    XxteaMix(b, n, key, kCompressXxteaCycles);
    for (size_t i = 0; i < n; ++i) h[i] ^= WalkOutput(s);
    MixPassSet(h, n);
  }
}

void Start(BlockHashContext& ctx, uint32_t* h, size_t length, uint32_t total) {
  h[0] = static_cast<uint32_t>(length);
  h[1] = total;
  ctx.walk = 0;
  for (size_t i = 2; i < ctx.width; ++i) h[i] = WalkOutput(ctx.walk);
}

// Runs the compression over every block that `fill` produces; fill(offset,
// block) packs the next 4n bytes at `offset` into the block buffer.
template <typename Fill>
void HashBlocks(BlockHashContext& ctx, uint32_t* h, size_t length, const uint32_t total,
                uint64_t* saved_walk, bool start, Fill fill) {
  if (start) {
    Start(ctx, h, length, total);
  } else if (saved_walk) {
    ctx.walk = *saved_walk;
  }
  const size_t n = ctx.width, block_bytes = 4 * n;
  for (size_t offset = 0; offset < length; offset += block_bytes) {
    fill(offset, ctx.block.data());
    for (size_t i = 0; i < n; ++i) ctx.copy[i] = ctx.block[i];
    Compress(ctx, h);
    for (size_t i = 0; i < n; ++i) h[i] = ctx.copy[i] ^ ctx.block[i];
  }
  if (saved_walk) *saved_walk = ctx.walk;
}

}  // namespace

BlockHashContext::BlockHashContext(size_t n) : width(n), rounds(n / 2) {}

BlockHashContext::~BlockHashContext() { BlockHashWipe(*this); }

void BlockHashUpdate(BlockHashContext& ctx, uint32_t* h, const uint8_t* data, size_t length,
                     uint32_t total, uint64_t* saved_walk, bool start) {
  const size_t n = ctx.width;
  HashBlocks(ctx, h, length, total, saved_walk, start, [&](size_t offset, uint32_t* b) {
    for (size_t i = 0; i < n; ++i) {
      uint32_t w = 0;
      for (size_t k = 0; k < 4; ++k) {
        size_t at = offset + 4 * i + k;
        if (at < length) w |= static_cast<uint32_t>(data[at]) << (8 * k);
      }
      b[i] = w;
    }
  });
}

void BlockHashUpdateWords(BlockHashContext& ctx, uint32_t* h, const uint32_t* words, size_t count,
                          uint32_t total, uint64_t* saved_walk, bool start) {
  const size_t n = ctx.width;
  HashBlocks(ctx, h, 4 * count, total, saved_walk, start, [&](size_t offset, uint32_t* b) {
    const size_t first = offset / 4;
    for (size_t i = 0; i < n; ++i) b[i] = first + i < count ? words[first + i] : 0;
  });
}

void BlockHashWipe(BlockHashContext& ctx) {
  WipeWords(ctx.block.data(), ctx.block.size());
  WipeWords(ctx.copy.data(), ctx.copy.size());
  const uint64_t lo = WipeStep(), hi = WipeStep();
  ctx.walk = (hi << 32) | lo;
  WipeAdvance();
}

void Hash256(uint32_t* result, const uint8_t* data, size_t length) {
  BlockHashContext ctx(8);
  BlockHashUpdate(ctx, result, data, length, static_cast<uint32_t>(length), nullptr, true);
}

void Fingerprint(uint32_t* user_id, const uint32_t* g, const uint32_t* y, const uint32_t* p) {
  constexpr size_t kWords = 128;
  BlockHashContext ctx(8);
  uint64_t walk = 0;
  BlockHashUpdateWords(ctx, user_id, g, kWords, 3 * 4 * kWords, &walk, true);
  BlockHashUpdateWords(ctx, user_id, y, kWords, 0, &walk, false);
  BlockHashUpdateWords(ctx, user_id, p, kWords, 0, &walk, false);
}

}  // namespace orv
