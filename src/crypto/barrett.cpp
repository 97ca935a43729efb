// Barrett setup and reduction.
#include "crypto/barrett.hpp"

#include <bit>
#include <cassert>
#include <cstring>

#include "crypto/bignum_ops.hpp"
#include "crypto/wipe.hpp"
#include "crypto/word_layout.hpp"

namespace orv {
BarrettContext::Layout BarrettContext::MakeLayout(size_t n) {
  Layout l{};
  WordLayout layout;
  l.modulus = layout.Take(2 * n);
  l.mu = layout.Take(2 * n);
  l.product = layout.Take(4 * n);
  l.remainder = layout.Take(2 * n);
  l.dividend = layout.Take(2 * n + 1);
  l.divisor = layout.Take(2 * n + 1);
  l.quotient = layout.Take(2 * n + 1);
  l.rest = layout.Take(2 * n + 1);
  l.total = layout.total();
  return l;
}

BarrettContext::BarrettContext(size_t n)
    : n_(n), layout_(MakeLayout(n)), words_(layout_.total), chain_(2 * n) {
  // The Karatsuba chain works on power-of-two widths only.
  assert(std::has_single_bit(n));
}

void BarrettContext::Clear() {
  words_.Wipe();
  two_k_ = 0;
  chain_.Clear();
}

void BarrettSetup(BarrettContext& c, const uint32_t* modulus) {
  const size_t n = c.n_;
  const size_t wide = 2 * n + 1;
  const auto& l = c.layout_;
  uint32_t* w = c.words_.data();
  c.two_k_ = 2 * BigBitLength(modulus, n);

  std::memset(w + l.modulus, 0, 2 * n * sizeof *w);
  std::memcpy(w + l.modulus, modulus, n * sizeof *w);

  // mu = floor(2^2k / m) over 2n + 1 words: 2^2k may need bit 64n.
  uint32_t* dividend = w + l.dividend;
  uint32_t* divisor = w + l.divisor;
  std::memset(dividend, 0, wide * sizeof *w);
  dividend[c.two_k_ / 32] = uint32_t{1} << (c.two_k_ % 32);
  std::memset(divisor, 0, wide * sizeof *w);
  std::memcpy(divisor, modulus, n * sizeof *w);
  BigDivide(w + l.quotient, w + l.rest, dividend, divisor, wide);
  std::memcpy(w + l.mu, w + l.quotient, 2 * n * sizeof *w);
}

void BarrettReduce(BarrettContext& c, uint32_t* result, const uint32_t* x) {
  const size_t n = c.n_;
  const auto& l = c.layout_;
  uint32_t* w = c.words_.data();
  uint32_t* product = w + l.product;
  uint32_t* r = w + l.remainder;
  const uint32_t* m = w + l.modulus;

  // q = (x * mu) >> 2k; q < 2^64n, so it is the low 2n words after the shift.
  KaratsubaMultiply(c.chain_, product, x, w + l.mu);
  BigShiftRight(product, 4 * n, c.two_k_);
  std::memcpy(r, product, 2 * n * sizeof *w);  // r holds q for the product below
  KaratsubaMultiply(c.chain_, product, r, m);
  BigSub(r, x, product, 2 * n);
  if (BigCompare(r, m, 2 * n) >= 0) BigSub(r, r, m, 2 * n);
  std::memcpy(result, r, n * sizeof *w);
}

}  // namespace orv
