// Montgomery multiplication and exponentiation. With R = 2^32n and
// m' = -m^-1 mod R, the Montgomery form of x is xR mod m, and
// MontgomeryMultiply(xR, yR) = xyR mod m: exponentiation works in that form
// and leaves it with one last multiplication by 1.
#include "crypto/modexp.hpp"

#include <bit>
#include <cassert>
#include <cstring>

#include "crypto/bignum_limbs.hpp"
#include "crypto/bignum_ops.hpp"
#include "crypto/wipe.hpp"
#include "crypto/word_layout.hpp"

namespace orv {
namespace {

bool TestBit(const uint32_t* a, size_t bit) { return (a[bit / 32] >> (bit % 32)) & 1; }

}  // namespace

ModExpContext::Layout ModExpContext::MakeLayout(size_t n) {
  Layout l{};
  WordLayout layout;
  l.modulus = layout.Take(n);
  l.m_prime = layout.Take(n);
  l.accumulator = layout.Take(n);
  l.square = layout.Take(n);
  l.one = layout.Take(n);
  l.difference = layout.Take(n);
  l.t = layout.Take(2 * n);
  l.u = layout.Take(2 * n);
  l.v = layout.Take(2 * n);
  l.dividend = layout.Take(2 * n);
  l.divisor = layout.Take(2 * n);
  l.quotient = layout.Take(2 * n);
  l.remainder = layout.Take(2 * n);
  l.inverse_a = layout.Take(n + 1);
  l.inverse_n = layout.Take(n + 1);
  l.inverse_out = layout.Take(n + 1);
  l.total = layout.total();
  return l;
}

ModExpContext::ModExpContext(size_t n)
    : n_(n),
      layout_(MakeLayout(n)),
      words_(layout_.total),
      chain_(n),
      barrett_(n),
      inverse_(n + 1) {
  // The Karatsuba chain works on power-of-two widths only.
  assert(std::has_single_bit(n));
}

void ModExpContext::Clear() {
  words_.Wipe();
  cached_ = false;
  chain_.Clear();
  barrett_.Clear();
  inverse_.Clear();
}

void MontgomerySetup(ModExpContext& c, const uint32_t* modulus) {
  uint32_t* cached = c.At(c.layout_.modulus);
  if (c.cached_ && BigCompare(cached, modulus, c.n_) == 0) return;
  std::memcpy(cached, modulus, c.n_ * sizeof *cached);
  c.cached_ = true;
  BarrettSetup(c.barrett_, cached);
  c.ComputeMPrime();
}

// m' = (0 - m^-1) mod R, with m and R as values of n + 1 words.
void ModExpContext::ComputeMPrime() {
  const size_t n = n_;
  uint32_t* a = At(layout_.inverse_a);
  uint32_t* r = At(layout_.inverse_n);
  std::memcpy(a, At(layout_.modulus), n * sizeof *a);
  a[n] = 0;
  std::memset(r, 0, n * sizeof *r);
  r[n] = 1;
  ModInverse(inverse_, At(layout_.inverse_out), a, r);
  std::memcpy(At(layout_.m_prime), At(layout_.inverse_out), n * sizeof *a);
  BigNegate(At(layout_.m_prime), n);
}

void MontgomeryMultiply(ModExpContext& c, uint32_t* result, const uint32_t* a, const uint32_t* b) {
  const size_t n = c.n_;
  const auto& l = c.layout_;
  uint32_t* t = c.At(l.t);
  uint32_t* u = c.At(l.u);
  uint32_t* v = c.At(l.v);
  const uint32_t* m = c.At(l.modulus);
  uint32_t* difference = c.At(l.difference);

  KaratsubaMultiply(c.chain_, t, a, b);
  KaratsubaMultiply(c.chain_, u, t, c.At(l.m_prime));  // only its low n words are used
  KaratsubaMultiply(c.chain_, v, u, m);
  uint32_t carry = limbs::AddWords(t, t, v, 2 * n);  // the low half is now 0
  uint32_t borrow = limbs::SubWords(difference, t + n, m, n);
  const uint32_t* chosen = (carry == 0 && borrow == 1) ? t + n : difference;
  std::memcpy(result, chosen, n * sizeof *result);
}

// The accumulator starts as R mod m (R = 2^32n divided by m over 2n words),
// the Montgomery form of 1.
void ModExpContext::StartAccumulator() {
  const size_t n = n_;
  uint32_t* dividend = At(layout_.dividend);
  uint32_t* divisor = At(layout_.divisor);
  std::memset(dividend, 0, 2 * n * sizeof *dividend);
  dividend[n] = 1;
  std::memset(divisor, 0, 2 * n * sizeof *divisor);
  std::memcpy(divisor, At(layout_.modulus), n * sizeof *divisor);
  BigDivide(At(layout_.quotient), At(layout_.remainder), dividend, divisor, 2 * n);
  std::memcpy(At(layout_.accumulator), At(layout_.remainder), n * sizeof *dividend);
}

// The squaring value starts as the Montgomery form of the base:
// (R mod m) * base, reduced by Barrett.
void ModExpContext::StartSquare(const uint32_t* base) {
  KaratsubaMultiply(chain_, At(layout_.t), At(layout_.accumulator), base);
  BarrettReduce(barrett_, At(layout_.square), At(layout_.t));
}

void ModExp(ModExpContext& c, uint32_t* result, const uint32_t* base, const uint32_t* exponent,
            const uint32_t* modulus) {
  const size_t n = c.n_;
  MontgomerySetup(c, modulus);
  c.StartAccumulator();
  c.StartSquare(base);
  uint32_t* accumulator = c.At(c.layout_.accumulator);
  uint32_t* square = c.At(c.layout_.square);
  // Every exponent bit costs a squaring, whatever the exponent's length.
  for (size_t bit = 0; bit < 32 * n; ++bit) {
    if (TestBit(exponent, bit)) MontgomeryMultiply(c, accumulator, accumulator, square);
    MontgomeryMultiply(c, square, square, square);
  }
  uint32_t* one = c.At(c.layout_.one);
  std::memset(one, 0, n * sizeof *one);
  one[0] = 1;
  MontgomeryMultiply(c, result, accumulator, one);
}

}  // namespace orv
