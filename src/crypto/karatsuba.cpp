// Karatsuba step at a level of m words with halves of h = m / 2 words:
//   z0 = a_low * b_low, z2 = a_high * b_high, z1 = (a_low + a_high) * (b_low + b_high)
//   a * b = z2 << 32m + (z1 - z2 - z0) << 32h + z0
// z0 and z2 are computed straight into the low and high halves of the
// result; the half sums keep their carries aside and z1 is corrected for
// them.
#include "crypto/karatsuba.hpp"

#include <bit>

#include "crypto/bignum_limbs.hpp"
#include "crypto/bignum_ops.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

using Level = KaratsubaChain::Level;
using limbs::AddWords;
using limbs::SubWords;

constexpr size_t kLeafWords = 16;

// z = z - x - y over m words; returns the total borrow (0, 1 or 2). Two
// passes, so that each runs as one unbroken borrow chain.
uint32_t SubtractTwo(uint32_t* z, const uint32_t* x, const uint32_t* y, size_t m) {
  uint32_t borrow = SubWords(z, z, x, m);
  return borrow + SubWords(z, z, y, m);
}

template <bool kSquare>
void Leaf(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t m) {
  if (m == kLeafWords) {
    if constexpr (kSquare) {
      BigSquare16(r, a);
    } else {
      BigMultiply16(r, a, b);
    }
  } else {
    BigMultiply(r, a, b, m);
  }
}

// The step at a level of kM words; kM = 0 when the size is known only at
// run time (chains wider than the sizes Descend fixes). Fixed sizes turn
// the limb loops into straight code.
template <bool kSquare, size_t kM>
void Step(const Level* level, uint32_t* base, uint32_t* r, const uint32_t* a, const uint32_t* b,
          size_t m);

// r (2m words) = a * b at the given level: a leaf at 16 words or fewer (the
// chain has levels exactly for the larger sizes), else a Karatsuba step.
template <bool kSquare>
void Descend(const Level* level, uint32_t* base, uint32_t* r, const uint32_t* a,
             const uint32_t* b, size_t m) {
  switch (m) {
    case 256: return Step<kSquare, 256>(level, base, r, a, b, m);
    case 128: return Step<kSquare, 128>(level, base, r, a, b, m);
    case 64: return Step<kSquare, 64>(level, base, r, a, b, m);
    case 32: return Step<kSquare, 32>(level, base, r, a, b, m);
    default: break;
  }
  if (m <= kLeafWords) {
    Leaf<kSquare>(r, a, b, m);
  } else {
    Step<kSquare, 0>(level, base, r, a, b, m);
  }
}

// One sub-product at the level below.
template <bool kSquare, size_t kM>
void Child(const Level* level, uint32_t* base, uint32_t* r, const uint32_t* a, const uint32_t* b,
           size_t h) {
  if constexpr (kM / 2 == kLeafWords) {
    Leaf<kSquare>(r, a, b, kLeafWords);
  } else if constexpr (kM != 0) {
    Step<kSquare, kM / 2>(level + 1, base, r, a, b, h);
  } else {
    Descend<kSquare>(level + 1, base, r, a, b, h);
  }
}

// With kSquare, a == b at every level, so the three sub-products are squares.
template <bool kSquare, size_t kM>
void Step(const Level* level, uint32_t* base, uint32_t* r, const uint32_t* a, const uint32_t* b,
          size_t m) {
  if constexpr (kM != 0) m = kM;
  size_t h = m / 2;
  uint32_t* z1 = base + level->z1;
  uint32_t* sa = base + level->sa;
  uint32_t* sb = kSquare ? sa : base + level->sb;
  Child<kSquare, kM>(level, base, r, a, b, h);
  Child<kSquare, kM>(level, base, r + m, a + h, b + h, h);
  uint32_t ca = AddWords(sa, a, a + h, h);
  uint32_t cb = kSquare ? ca : AddWords(sb, b, b + h, h);
  Child<kSquare, kM>(level, base, z1, sa, sb, h);
  // (sa + ca 2^32h)(sb + cb 2^32h) = sa sb + (ca sb + cb sa) 2^32h + ca cb 2^32m
  uint32_t top = 0;
  if (ca) top += AddWords(z1 + h, z1 + h, sb, h);
  if (cb) top += AddWords(z1 + h, z1 + h, sa, h);
  top += ca & cb;
  z1[m] = top - SubtractTwo(z1, r, r + m, m);
  uint32_t carry = AddWords(r + h, r + h, z1, m + 1);
  limbs::AddCarryUp(r + h + m + 1, h - 1, carry);
}

}  // namespace

KaratsubaChain::KaratsubaChain(size_t n) : size_(std::bit_ceil(n)) {
  size_t total = 0;
  for (size_t m = size_; m > kLeafWords; m /= 2) {
    Level level{m, total, total + m + 1, total + m + 1 + m / 2};
    levels_.push_back(level);
    total += m + 1 + m;
  }
  words_ = SecureWords(total);
}

void KaratsubaChain::Clear() {
  words_.Wipe();
  WipeAdvance();
}

void KaratsubaChain::Multiply(uint32_t* result, const uint32_t* a, const uint32_t* b) {
  if (a == b) {
    Descend<true>(levels_.data(), words_.data(), result, a, a, size_);
  } else {
    Descend<false>(levels_.data(), words_.data(), result, a, b, size_);
  }
}

void KaratsubaMultiply(KaratsubaChain& chain, uint32_t* result, const uint32_t* a,
                       const uint32_t* b) {
  chain.Multiply(result, a, b);
}

}  // namespace orv
