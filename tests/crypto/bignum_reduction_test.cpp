// Barrett reduction and the modular inverse, checked through identities
// that pin the results down: x mod m against long division, a * a^-1 mod N
// against 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "crypto/bignum.hpp"
#include "support/seeded_words.hpp"

namespace orv {
namespace {

using test::Schoolbook;
using test::SeededWords;
using test::Words;


Words Product(const Words& a, const Words& b) {
  Words r(2 * a.size());
  BigMultiply(r.data(), a.data(), b.data(), a.size());
  return r;
}

// x zero-extended to w words.
Words Extended(const Words& x, size_t w) {
  Words r(w, 0);
  std::copy(x.begin(), x.end(), r.begin());
  return r;
}

// x mod m by long division; x has twice the width of m.
Words Remainder(const Words& x, const Words& m) {
  size_t w = x.size();
  Words dividend = x, divisor = Extended(m, w), q(w), r(w);
  BigDivide(q.data(), r.data(), dividend.data(), divisor.data(), w);
  return Words(r.begin(), r.begin() + m.size());
}

Words OddModulus(size_t n, uint64_t seed) {
  Words m = SeededWords(n, seed);
  m[0] |= 1;
  m[n - 1] |= 0x80000000;
  return m;
}

// A value below m (its top bit cleared, m's set).
Words Below(const Words& m, uint64_t seed) {
  Words a = SeededWords(m.size(), seed);
  a.back() &= 0x7fffffff;
  return a;
}

TEST(BarrettReduce, EqualsTheLongDivisionRemainder) {
  for (size_t n : {4u, 128u}) {
    Words full = OddModulus(n, n);
    Words short_modulus = SeededWords(n, n + 1);  // well below the full width
    short_modulus[n - 1] = 0;
    short_modulus[n - 2] |= 1;
    short_modulus[0] |= 1;
    BarrettContext c(n);
    for (const Words& m : {full, short_modulus}) {
      BarrettSetup(c, m.data());
      Words a = Remainder(SeededWords(2 * n, 7), m), b = Remainder(SeededWords(2 * n, 8), m);
      Words largest = m;
      largest[0] -= 1;  // m - 1 (m[0] is odd in both moduli)
      const Words xs[] = {Product(a, b), Product(largest, largest), Words(2 * n, 0),
                          Extended(m, 2 * n)};
      for (const auto& x : xs) {
        Words r(n);
        BarrettReduce(c, r.data(), x.data());
        EXPECT_EQ(r, Remainder(x, m)) << "n = " << n;
      }
    }
  }
}

struct SmallInverse {
  uint32_t a, modulus, inverse;
  int ok;
};

TEST(ModInverse, SmallValues) {
  const SmallInverse cases[] = {
      {3, 7, 5, 1}, {10, 17, 12, 1}, {1, 9, 1, 1}, {10, 7, 5, 1},  // a > N works modulo N
      {6, 9, 0, 0}, {0, 7, 0, 0},                                  // no inverse
  };
  InverseContext c(1);
  for (const auto& k : cases) {
    uint32_t result = 0xdeadbeef;
    EXPECT_EQ(ModInverse(c, &result, &k.a, &k.modulus), k.ok) << k.a << " mod " << k.modulus;
    if (k.ok) {
      EXPECT_EQ(result, k.inverse) << k.a << " mod " << k.modulus;
    }
  }
}

TEST(ModInverse, TimesTheValueIsOneModulo4096BitModulus) {
  InverseContext c(kBigWords);
  for (uint64_t seed : {21, 22}) {
    Words n = OddModulus(kBigWords, seed), a = Below(n, seed + 100), x(kBigWords);
    ASSERT_EQ(ModInverse(c, x.data(), a.data(), n.data()), 1);
    EXPECT_LT(BigCompare(x.data(), n.data(), kBigWords), 0);
    Words one(kBigWords, 0);
    one[0] = 1;
    EXPECT_EQ(Remainder(Product(a, x), n), one);
  }
}

TEST(ModInverse, ModuloTheMontgomeryRadix) {
  // The exponentiation's use: m^-1 mod 2^4096 with values of 129 words.
  const size_t v = kBigWords + 1;
  InverseContext c(v);
  Words m = OddModulus(kBigWords, 23), radix(v, 0), x(v);
  m.push_back(0);
  radix[kBigWords] = 1;
  ASSERT_EQ(ModInverse(c, x.data(), m.data(), radix.data()), 1);
  EXPECT_EQ(x[kBigWords], 0u);
  Words p = Product(m, x);
  EXPECT_EQ(p[0], 1u);
  EXPECT_EQ(Words(p.begin() + 1, p.begin() + kBigWords), Words(kBigWords - 1, 0));
}

TEST(ModInverse, FailsWhenTheValueSharesAFactorWithTheModulus) {
  InverseContext c(kBigWords);
  Words three(kBigWords, 0), n(kBigWords), a(kBigWords), x(kBigWords);
  three[0] = 3;
  Words n_half = SeededWords(kBigWords, 24), a_half = SeededWords(kBigWords, 25);
  n_half[kBigWords - 1] = 0;  // keep 3 * value inside 128 words
  a_half[kBigWords - 1] = 0;
  n = Product(n_half, three);
  a = Product(a_half, three);
  n.resize(kBigWords);
  a.resize(kBigWords);
  EXPECT_EQ(ModInverse(c, x.data(), a.data(), n.data()), 0);
}

}  // namespace
}  // namespace orv
