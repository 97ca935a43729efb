// Signed division and multiplication by way of the unsigned ones.
#include "crypto/bignum_signed.hpp"

#include <cstring>

#include "crypto/bignum_ops.hpp"

namespace orv {
namespace {

bool IsNegative(const uint32_t* a, size_t n) { return n > 0 && (a[n - 1] >> 31) != 0; }

// Copies a into out as its magnitude.
void CopyMagnitude(uint32_t* out, const uint32_t* a, size_t n, bool negative) {
  std::memcpy(out, a, n * sizeof *a);
  if (negative) BigNegate(out, n);
}

}  // namespace

void BigSignedDivide(uint32_t* quotient, uint32_t* remainder, const uint32_t* a, const uint32_t* b,
                     size_t n, uint32_t* scratch) {
  bool a_negative = IsNegative(a, n);
  bool b_negative = IsNegative(b, n);
  uint32_t* dividend = scratch;
  uint32_t* divisor = scratch + n;
  CopyMagnitude(dividend, a, n, a_negative);
  CopyMagnitude(divisor, b, n, b_negative);
  BigDivide(quotient, remainder, dividend, divisor, n);
  if (a_negative != b_negative) BigNegate(quotient, n);
  if (a_negative) BigNegate(remainder, n);
}

void BigSignedMultiply(uint32_t* product, const uint32_t* a, const uint32_t* b, size_t n,
                       uint32_t* scratch) {
  bool a_negative = IsNegative(a, n);
  bool b_negative = IsNegative(b, n);
  uint32_t* x = scratch;
  uint32_t* y = scratch + n;
  CopyMagnitude(x, a, n, a_negative);
  CopyMagnitude(y, b, n, b_negative);
  BigMultiply(product, x, y, n);
  if (a_negative != b_negative) BigNegate(product, 2 * n);
}

}  // namespace orv
