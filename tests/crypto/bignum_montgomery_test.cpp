// The Montgomery kernels, the two-base exponentiation, the fixed-base comb
// and the Jacobi symbol, each checked against the plain exponentiation (in
// turn checked against offline references in bignum_modexp_test).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "crypto/bignum.hpp"
#include "crypto/fixed_base.hpp"
#include "crypto/jacobi.hpp"
#include "crypto/prime_table.hpp"
#include "support/seeded_words.hpp"

namespace orv {
namespace {

using test::SeededWords;
using test::Words;

struct Operands {
  Words modulus, base, exponent;
};

Operands MakeOperands(size_t n, uint64_t seed) {
  Operands o{SeededWords(n, seed), SeededWords(n, seed + 1), SeededWords(n, seed + 2)};
  o.modulus[0] |= 1;
  o.modulus[n - 1] |= 0x80000000;
  o.base[n - 1] &= 0x7fffffff;
  return o;
}

Words Power(ModExpContext& c, const Words& base, const Words& exponent, const Words& modulus) {
  Words r(modulus.size());
  ModExp(c, r.data(), base.data(), exponent.data(), modulus.data());
  return r;
}

Words Product(size_t n, const Words& a, const Words& b, const Words& modulus) {
  MontgomeryContext mont(n);
  Words r(n);
  mont.ModMultiply(r.data(), a.data(), b.data(), modulus.data());
  return r;
}

// Every width the kernels meet: rows of every length from squarings, and
// operands with zero runs and all-ones runs.
TEST(MontgomeryKernel, BothKernelsGiveIdenticalResults) {
  if (!MontgomeryKernelAvailable(MontgomeryKernel::kMulxAdx)) GTEST_SKIP() << "this CPU lacks mulx/adcx/adox";
  for (size_t n : {2u, 16u, 32u, 128u}) {
    for (uint64_t seed : {1u, 2u}) {
      Operands o = MakeOperands(n, 100 * n + seed);
      if (seed == 2) {
        for (size_t i = 0; i < n / 2; ++i) o.base[i] = 0xffffffff;
        for (size_t i = n / 2; i < n; ++i) o.exponent[i] = 0;
      }
      ModExpContext fast(n), portable(n);
      ASSERT_TRUE(fast.Montgomery().UseKernel(MontgomeryKernel::kMulxAdx));
      ASSERT_TRUE(portable.Montgomery().UseKernel(MontgomeryKernel::kPortable));
      EXPECT_EQ(Power(fast, o.base, o.exponent, o.modulus), Power(portable, o.base, o.exponent, o.modulus))
          << n << " words, seed " << seed;
      Words a(n), b(n);
      MontgomerySetup(fast, o.modulus.data());
      MontgomerySetup(portable, o.modulus.data());
      MontgomeryMultiply(fast, a.data(), o.base.data(), o.base.data());
      MontgomeryMultiply(portable, b.data(), o.base.data(), o.base.data());
      EXPECT_EQ(a, b);
    }
  }
}

TEST(ModExpProduct, EqualsTheProductOfTwoPowers) {
  const size_t n = kBigWords;
  Operands o = MakeOperands(n, 7), other = MakeOperands(n, 17);
  Words other_base = other.base;
  other_base[n - 1] &= 0x3fffffff;
  struct Case {
    Words e1, e2;
  };
  const Case cases[] = {
      {o.exponent, other.exponent},
      {Words(n, 0), other.exponent},
      {o.exponent, Words(n, 0)},
      {Words(n, 0xffffffff), Words(n, 1)},
      // Windows that end on the lowest bit or start on the top one, and runs
      // of exactly one window's width.
      {Words(n, 0x80000001), Words(n, 0x0fc0003f)},
  };
  ModExpContext c(n);
  for (const Case& k : cases) {
    Words expected = Product(n, Power(c, o.base, k.e1, o.modulus), Power(c, other_base, k.e2, o.modulus), o.modulus);
    Words r(n);
    ModExpProduct(c, r.data(), o.base.data(), k.e1.data(), other_base.data(), k.e2.data(), o.modulus.data());
    EXPECT_EQ(r, expected);
  }
}

TEST(FixedBaseTable, PowersEqualTheWindowedExponentiation) {
  for (size_t n : {2u, 128u}) {
    Operands o = MakeOperands(n, 30 + n);
    FixedBaseTable table(n);
    MontgomeryContext mont(n);
    table.Build(mont, o.base.data(), o.modulus.data());
    ModExpContext c(n);
    Words top_bit(n, 0);
    top_bit[n - 1] = 0x80000000;
    for (const Words& e : {o.exponent, Words(n, 0), Words(n, 0xffffffff), top_bit, SeededWords(n, 99)}) {
      Words r(n);
      table.Power(mont, r.data(), e.data());
      EXPECT_EQ(r, Power(c, o.base, e, o.modulus)) << n << " words";
    }
  }
}

TEST(JacobiSymbol, SmallValues) {
  struct Case {
    uint32_t a, n;
    int expected;
  };
  const Case cases[] = {{0, 1, 1},  {0, 7, 0},  {1, 7, 1},   {2, 7, 1},     {3, 7, -1},   {6, 9, 0},
                        {2, 15, 1}, {7, 15, -1}, {30, 7, 1}, {1001, 9907, -1}, {19, 45, 1}, {8, 21, -1}};
  uint32_t scratch[2];
  for (const Case& k : cases) EXPECT_EQ(JacobiSymbol(&k.a, &k.n, 1, scratch), k.expected) << k.a << "/" << k.n;
}

// For a safe prime p = 2q + 1 the symbol decides g^q: 1 for +1, p - 1 for -1.
TEST(JacobiSymbol, AgreesWithEulersCriterionModuloATablePrime) {
  const size_t n = kBigWords;
  Words p(n), q(n), minus_one(n), one(n, 0), scratch(2 * n);
  ASSERT_TRUE(PrimeTableEntry(3, p.data()));
  q = p;
  BigShiftRight1(q.data(), n);
  minus_one = p;
  minus_one[0] -= 1;
  one[0] = 1;
  ModExpContext c(n);
  int seen[2] = {0, 0};
  for (uint64_t seed = 0; seed < 6; ++seed) {
    Words g = SeededWords(n, 500 + seed);
    g[n - 1] &= 0x7fffffff;
    const int symbol = JacobiSymbol(g.data(), p.data(), n, scratch.data());
    ASSERT_NE(symbol, 0);
    EXPECT_EQ(Power(c, g, q, p), symbol == 1 ? one : minus_one);
    ++seen[symbol == 1];
  }
  EXPECT_GT(seen[0], 0);
  EXPECT_GT(seen[1], 0);
}

}  // namespace
}  // namespace orv
