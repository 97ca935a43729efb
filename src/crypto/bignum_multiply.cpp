// Schoolbook products: the general one with zero skipping, and the fixed
// 16-word one that is the base case of the Karatsuba chain.
#include <cstring>

#include "crypto/bignum_limbs.hpp"
#include "crypto/bignum_ops.hpp"

namespace orv {
namespace {

using limbs::Load64;
using limbs::SignificantWords;
using limbs::Store64;
using limbs::u128;

// r[0..) += a[0..na) * w, then carries upward until the carry is spent.
void AddRowProduct(uint32_t* r, const uint32_t* a, size_t na, uint32_t w) {
  uint64_t carry = 0;
  for (size_t j = 0; j < na; ++j) {
    uint64_t t = uint64_t{a[j]} * w + r[j] + carry;
    r[j] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
  for (size_t j = na; carry != 0; ++j) {
    uint64_t t = uint64_t{r[j]} + carry;
    r[j] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
}

// A column accumulator of three limbs for product scanning: every word
// product of one output column is added here before the column is written.
struct Column {
  u128 low = 0;
  uint64_t high = 0;

  void MulAdd(uint64_t x, uint64_t y) {
    u128 p = u128{x} * y;
    low += p;
    high += low < p;
  }
  // Hands out the finished column limb and moves to the next column.
  uint64_t Next() {
    uint64_t out = static_cast<uint64_t>(low);
    low = (low >> 64) | (u128{high} << 64);
    high = 0;
    return out;
  }
};

constexpr int kLimbs16 = 8;  // 16 words as 64-bit limbs; limb i is words 2i, 2i + 1

}  // namespace

void BigMultiply(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
  std::memset(r, 0, 2 * n * sizeof *r);
  size_t na = SignificantWords(a, n);
  size_t nb = SignificantWords(b, n);
  if (na == 0 || nb == 0) return;
  for (size_t i = 0; i < nb; ++i) {
    if (b[i] != 0) AddRowProduct(r + i, a, na, b[i]);
  }
}

// Product scanning over 8 x 8 limbs, fully unrolled: each output column is
// summed in registers and stored once. The limbs are read straight from the
// operands (as memory operands of the multiplications); copying them to a
// local array first costs more than it saves.
void BigMultiply16(uint32_t* r, const uint32_t* a, const uint32_t* b) {
  Column column;
#pragma GCC unroll 16
  for (int k = 0; k < 2 * kLimbs16 - 1; ++k) {
#pragma GCC unroll 8
    for (int i = 0; i < kLimbs16; ++i) {
      int j = k - i;
      if (j >= 0 && j < kLimbs16) column.MulAdd(Load64(a + 2 * i), Load64(b + 2 * j));
    }
    Store64(r + 2 * k, column.Next());
  }
  Store64(r + 2 * (2 * kLimbs16 - 1), column.Next());
}

// Squaring by product scanning: each cross product a[i] * a[j] (limbs, i < j)
// appears twice in its column, so a column sums the cross products once,
// doubles the sum and then adds the square term.
void BigSquare16(uint32_t* r, const uint32_t* a) {
  Column column;
#pragma GCC unroll 16
  for (int k = 0; k < 2 * kLimbs16 - 1; ++k) {
    Column cross;
#pragma GCC unroll 8
    for (int i = 0; i < kLimbs16; ++i) {
      int j = k - i;
      if (i < j && j < kLimbs16) cross.MulAdd(Load64(a + 2 * i), Load64(a + 2 * j));
    }
    // column += 2 * cross; cross.high stays tiny, so doubling cannot overflow it.
    u128 doubled = cross.low << 1;
    uint64_t doubled_high = (cross.high << 1) | static_cast<uint64_t>(cross.low >> 127);
    column.low += doubled;
    column.high += doubled_high + (column.low < doubled);
    if (k % 2 == 0) column.MulAdd(Load64(a + k), Load64(a + k));
    Store64(r + 2 * k, column.Next());
  }
  Store64(r + 2 * (2 * kLimbs16 - 1), column.Next());
}

}  // namespace orv
