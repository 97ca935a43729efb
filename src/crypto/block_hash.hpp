// A wide hash of configurable width (8, 12, 36 or 128 words), and its named
// uses: 256-bit digests, user ids, session keys, transcript and signed-data
// digests, data-file keys.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orv {

constexpr size_t kBlockHashMaxWidth = 128;

struct BlockHashContext {
  explicit BlockHashContext(size_t width);
  ~BlockHashContext();
  BlockHashContext(const BlockHashContext&) = delete;
  BlockHashContext& operator=(const BlockHashContext&) = delete;

  size_t width;                                        // n words
  size_t rounds;                                       // n / 2
  uint64_t walk = 0;                                   // private walk s
  std::array<uint32_t, kBlockHashMaxWidth> block{};    // B
  std::array<uint32_t, kBlockHashMaxWidth> copy{};     // Q
};

// Hashes `length` bytes into the hash value h (width words). With `start`,
// h is initialised from (length, total) and the walk from 0; otherwise the
// walk continues from *saved_walk when given. The walk is stored back into
// *saved_walk when given, so that several calls chain.
void BlockHashUpdate(BlockHashContext& ctx, uint32_t* h, const uint8_t* data, size_t length,
                     uint32_t total, uint64_t* saved_walk, bool start);

// The same over words, taken as their little-endian bytes (length = 4 * count).
void BlockHashUpdateWords(BlockHashContext& ctx, uint32_t* h, const uint32_t* words, size_t count,
                          uint32_t total, uint64_t* saved_walk, bool start);

// Overwrites the block and copy buffers and the walk with wipe generator
// output, then advances the generator.
void BlockHashWipe(BlockHashContext& ctx);

// 256-bit digest of a byte string (width 8).
void Hash256(uint32_t* result, const uint8_t* data, size_t length);

// The user id: width-8 hash over g, y and p (128 words each) of a certificate.
void Fingerprint(uint32_t* user_id, const uint32_t* g, const uint32_t* y, const uint32_t* p);

}  // namespace orv
