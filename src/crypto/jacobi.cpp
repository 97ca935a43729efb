#include "crypto/jacobi.hpp"

#include <cstring>
#include <utility>

#include "crypto/bignum_ops.hpp"

namespace orv {
namespace {

// Number of trailing zero bits of a non-zero value.
unsigned TrailingZeros(const uint32_t* a) {
  size_t i = 0;
  while (a[i] == 0) ++i;
  return static_cast<unsigned>(32 * i) + static_cast<unsigned>(__builtin_ctz(a[i]));
}

}  // namespace

// Each round strips the factors of two from a (each flips the sign when
// n = 3 or 5 mod 8), swaps so that a >= n (flipping when both are 3 mod 4,
// by reciprocity) and replaces a by a - n, which leaves the symbol alone.
int JacobiSymbol(const uint32_t* a_in, const uint32_t* n_in, size_t words, uint32_t* scratch) {
  uint32_t* a = scratch;
  uint32_t* n = scratch + words;
  std::memcpy(a, a_in, words * sizeof *a);
  std::memcpy(n, n_in, words * sizeof *n);
  int t = 1;
  while (!BigIsZero(a, words)) {
    const unsigned zeros = TrailingZeros(a);
    BigShiftRight(a, words, zeros);
    const uint32_t n8 = n[0] & 7;
    if ((zeros & 1) && (n8 == 3 || n8 == 5)) t = -t;
    if (BigCompare(a, n, words) < 0) {
      std::swap(a, n);
      if ((a[0] & 3) == 3 && (n[0] & 3) == 3) t = -t;
    }
    BigSub(a, a, n, words);
  }
  const bool unit = n[0] == 1 && (words == 1 || BigIsZero(n + 1, words - 1));
  return unit ? t : 0;
}

}  // namespace orv
