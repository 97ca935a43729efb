// Word-array basics: compare, add, subtract, shifts, negate.
#include <bit>
#include <cstring>

#include "crypto/bignum_limbs.hpp"
#include "crypto/bignum_ops.hpp"

namespace orv {

int BigCompare(const uint32_t* a, const uint32_t* b, size_t n) {
  for (size_t i = n; i-- > 0;) {
    if (a[i] != b[i]) return a[i] > b[i] ? 1 : -1;
  }
  return 0;
}

uint32_t BigAdd(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
  return limbs::AddWords(r, a, b, n);
}

uint32_t BigSub(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
  return limbs::SubWords(r, a, b, n);
}

void BigShiftRight1(uint32_t* a, size_t n) { BigShiftRight(a, n, 1); }

void BigShiftRight(uint32_t* a, size_t n, unsigned k) {
  size_t words = k / 32;
  unsigned bits = k % 32;
  if (words >= n) {
    std::memset(a, 0, n * sizeof *a);
    return;
  }
  // Word i takes its bits from words i + words and i + words + 1; the
  // 64-bit pair keeps the shift defined for bits == 0. Reading ahead of the
  // word being written keeps the loop safe in place.
  size_t kept = n - words;
  for (size_t i = 0; i + 1 < kept; ++i) {
    uint64_t pair = uint64_t{a[i + words + 1]} << 32 | a[i + words];
    a[i] = static_cast<uint32_t>(pair >> bits);
  }
  a[kept - 1] = a[n - 1] >> bits;
  std::memset(a + kept, 0, words * sizeof *a);
}

void BigShiftLeft(uint32_t* a, size_t n, unsigned k) {
  size_t words = k / 32;
  unsigned bits = k % 32;
  if (words >= n) {
    std::memset(a, 0, n * sizeof *a);
    return;
  }
  for (size_t i = n; i-- > words;) {
    uint32_t low = i > words ? a[i - words - 1] : 0;
    uint64_t pair = uint64_t{a[i - words]} << 32 | low;
    a[i] = static_cast<uint32_t>(pair >> (32 - bits));
  }
  std::memset(a, 0, words * sizeof *a);
}

// -a = ~a + 1: the +1 carries through the low zero words (which stay 0)
// and stops at the lowest non-zero word, which becomes its own negation;
// every word above it is simply inverted.
void BigNegate(uint32_t* a, size_t n) {
  size_t i = 0;
  while (i < n && a[i] == 0) ++i;
  if (i == n) return;
  a[i] = 0u - a[i];
  for (++i; i < n; ++i) a[i] = ~a[i];
}

unsigned BigBitLength(const uint32_t* a, size_t n) {
  size_t words = limbs::SignificantWords(a, n);
  if (words == 0) return 0;
  return static_cast<unsigned>(32 * (words - 1) + std::bit_width(a[words - 1]));
}

bool BigIsZero(const uint32_t* a, size_t n) {
  uint32_t any = 0;
  for (size_t i = 0; i < n; ++i) any |= a[i];
  return any == 0;
}

}  // namespace orv
