// Montgomery multiplication and exponentiation. With R = 2^32n and
// m' = -m^-1 mod R, the Montgomery form of x is xR mod m, and
// MontgomeryMultiply(xR, yR) = xyR mod m: exponentiation works in that form
// and leaves it with one last multiplication by 1.
#include "crypto/modexp.hpp"

#include <cstring>

#include "crypto/bignum_limbs.hpp"
#include "crypto/bignum_ops.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

ModExpContext::Layout MakeLayout(size_t n) {
  ModExpContext::Layout l{};
  size_t at = 0;
  auto take = [&at](size_t words) {
    size_t start = at;
    at += words;
    return start;
  };
  l.modulus = take(n);
  l.m_prime = take(n);
  l.accumulator = take(n);
  l.square = take(n);
  l.one = take(n);
  l.difference = take(n);
  l.t = take(2 * n);
  l.u = take(2 * n);
  l.v = take(2 * n);
  l.dividend = take(2 * n);
  l.divisor = take(2 * n);
  l.quotient = take(2 * n);
  l.remainder = take(2 * n);
  l.inverse_a = take(n + 1);
  l.inverse_n = take(n + 1);
  l.inverse_out = take(n + 1);
  l.total = at;
  return l;
}

bool TestBit(const uint32_t* a, size_t bit) { return (a[bit / 32] >> (bit % 32)) & 1; }

}  // namespace

ModExpContext::ModExpContext(size_t n)
    : n_(n),
      layout_(MakeLayout(n)),
      words_(layout_.total),
      chain_(n),
      barrett_(n),
      inverse_(n + 1) {}

void ModExpContext::Clear() {
  words_.Wipe();
  cached_ = false;
  chain_.Clear();
  barrett_.Clear();
  inverse_.Clear();
}

void MontgomerySetup(ModExpContext& c, const uint32_t* modulus) {
  const size_t n = c.n_;
  const auto& l = c.layout_;
  uint32_t* cached = c.At(l.modulus);
  if (c.cached_ && BigCompare(cached, modulus, n) == 0) return;
  std::memcpy(cached, modulus, n * sizeof *cached);
  c.cached_ = true;
  BarrettSetup(c.barrett_, cached);

  // m' = (0 - m^-1) mod R, with m and R as values of n + 1 words.
  uint32_t* a = c.At(l.inverse_a);
  uint32_t* r = c.At(l.inverse_n);
  std::memcpy(a, cached, n * sizeof *a);
  a[n] = 0;
  std::memset(r, 0, n * sizeof *r);
  r[n] = 1;
  ModInverse(c.inverse_, c.At(l.inverse_out), a, r);
  std::memcpy(c.At(l.m_prime), c.At(l.inverse_out), n * sizeof *a);
  BigNegate(c.At(l.m_prime), n);
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

void ModExp(ModExpContext& c, uint32_t* result, const uint32_t* base, const uint32_t* exponent,
            const uint32_t* modulus) {
  const size_t n = c.n_;
  const auto& l = c.layout_;
  MontgomerySetup(c, modulus);

  // The accumulator starts as R mod m, the Montgomery form of 1.
  uint32_t* dividend = c.At(l.dividend);
  uint32_t* divisor = c.At(l.divisor);
  std::memset(dividend, 0, 2 * n * sizeof *dividend);
  dividend[n] = 1;
  std::memset(divisor, 0, 2 * n * sizeof *divisor);
  std::memcpy(divisor, c.At(l.modulus), n * sizeof *divisor);
  BigDivide(c.At(l.quotient), c.At(l.remainder), dividend, divisor, 2 * n);
  uint32_t* accumulator = c.At(l.accumulator);
  std::memcpy(accumulator, c.At(l.remainder), n * sizeof *accumulator);

  // The squaring value starts as the Montgomery form of the base.
  uint32_t* square = c.At(l.square);
  KaratsubaMultiply(c.chain_, c.At(l.t), accumulator, base);
  BarrettReduce(c.barrett_, square, c.At(l.t));

  for (size_t bit = 0; bit < 32 * n; ++bit) {
    if (TestBit(exponent, bit)) MontgomeryMultiply(c, accumulator, accumulator, square);
    MontgomeryMultiply(c, square, square, square);
  }

  uint32_t* one = c.At(l.one);
  std::memset(one, 0, n * sizeof *one);
  one[0] = 1;
  MontgomeryMultiply(c, result, accumulator, one);
}

}  // namespace orv
