// Karatsuba multiplication over a chain of levels whose sizes halve down to
// the 16-word schoolbook base case (128 -> 64 -> 32 -> 16 for 4096-bit
// values). Each level owns the scratch of its own step, allocated once when
// the chain is made, so a product allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "crypto/secure_words.hpp"

namespace orv {

class KaratsubaChain {
 public:
  // A chain for operands of n words; n is rounded up to a power of two.
  explicit KaratsubaChain(size_t n);
  ~KaratsubaChain() { Clear(); }
  KaratsubaChain(KaratsubaChain&&) noexcept = default;
  KaratsubaChain& operator=(KaratsubaChain&&) noexcept = default;
  KaratsubaChain(const KaratsubaChain&) = delete;
  KaratsubaChain& operator=(const KaratsubaChain&) = delete;

  // Overwrites every scratch word with wipe generator output.
  void Clear();

  // Operand width in words (a power of two).
  size_t Size() const { return size_; }

  // result (2 * Size() words) = a * b (Size() words each). result must not
  // alias a or b; a == b is allowed (and takes the faster squaring path).
  void Multiply(uint32_t* result, const uint32_t* a, const uint32_t* b);

  // One level above the leaves: where its scratch lives in words_.
  struct Level {
    size_t size;  // operand words m at this level
    size_t z1;    // middle product, m + 1 words (z0 and z2 go straight to the result)
    size_t sa;    // half sum of a, m / 2 words (its carry stays in a register)
    size_t sb;    // half sum of b, m / 2 words
  };

 private:
  size_t size_ = 0;
  std::vector<Level> levels_;  // top level first; leaves (16 words or fewer) have none
  SecureWords words_;
};

// result (2m words) = a * b (m = chain.Size() words each).
void KaratsubaMultiply(KaratsubaChain& chain, uint32_t* result, const uint32_t* a,
                       const uint32_t* b);

}  // namespace orv
