// Binary long division: one trial subtraction per quotient bit.
#include <cstring>

#include "crypto/bignum_limbs.hpp"
#include "crypto/bignum_ops.hpp"

namespace orv {
namespace {

// Number of words that hold the bits below bit_length.
size_t WordsFor(unsigned bit_length) { return (bit_length + 31) / 32; }

}  // namespace

void BigDivide(uint32_t* quotient, uint32_t* remainder, uint32_t* dividend, uint32_t* divisor,
               size_t n) {
  std::memset(quotient, 0, n * sizeof *quotient);
  std::memset(remainder, 0, n * sizeof *remainder);
  unsigned divisor_bits = BigBitLength(divisor, n);
  unsigned dividend_bits = BigBitLength(dividend, n);
  // Every word above the dividend's top word is 0 in both values (once the
  // dividend is known to be the larger), so the work is limited to the
  // words below it.
  size_t active = WordsFor(dividend_bits);
  bool below = dividend_bits < divisor_bits ||
               (dividend_bits == divisor_bits && BigCompare(dividend, divisor, active) < 0);
  if (divisor_bits == 0 || below) {
    std::memcpy(remainder, dividend, n * sizeof *dividend);
    return;
  }
  unsigned d = dividend_bits - divisor_bits;
  BigShiftLeft(divisor, active, d);
  for (unsigned step = 0; step <= d; ++step) {
    unsigned bit = d - step;
    if (BigCompare(dividend, divisor, active) >= 0) {
      limbs::SubWords(dividend, dividend, divisor, active);
      quotient[bit / 32] |= uint32_t{1} << (bit % 32);
    }
    BigShiftRight1(divisor, active);
  }
  std::memcpy(remainder, dividend, n * sizeof *dividend);
}

}  // namespace orv
