// Word-array basics, schoolbook products, long division and the signed
// operations, checked against small hand-made values and against a
// bit-by-bit shift-and-add product.
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

// Deterministic test words (splitmix64, low 32 bits of each output).

// The product by the grade-school binary method: for every set bit i of b,
// add a << i. Slow, but plainly right, and unlike the word algorithms.
Words ReferenceProduct(const Words& a, const Words& b) {
  size_t n = a.size();
  Words product(2 * n, 0), shifted(2 * n, 0);
  for (size_t i = 0; i < 32 * n; ++i) {
    if (!((b[i / 32] >> (i % 32)) & 1)) continue;
    std::fill(shifted.begin(), shifted.end(), 0);
    std::copy(a.begin(), a.end(), shifted.begin());
    BigShiftLeft(shifted.data(), 2 * n, static_cast<unsigned>(i));
    BigAdd(product.data(), product.data(), shifted.data(), 2 * n);
  }
  return product;
}


TEST(BigCompare, OrdersByTheMostSignificantDifferingWord) {
  struct Case {
    Words a, b;
    int expected;
  };
  const Case cases[] = {
      {{}, {}, 0},
      {{5, 7}, {5, 7}, 0},
      {{0, 2}, {0xffffffff, 1}, 1},
      {{0xffffffff, 1}, {0, 2}, -1},
      {{1, 0}, {0, 0}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BigCompare(c.a.data(), c.b.data(), c.a.size()), c.expected);
  }
}

TEST(BigCompare, WidthZeroIsEqualWhateverThePointers) {
  uint32_t a = 1, b = 2;
  EXPECT_EQ(BigCompare(&a, &b, 0), 0);
}

TEST(BigAddSub, CarryAndBorrowRunThroughEveryWord) {
  Words ones = {0xffffffff, 0xffffffff, 0xffffffff};
  Words one = {1, 0, 0};
  Words r(3);
  EXPECT_EQ(BigAdd(r.data(), ones.data(), one.data(), 3), 1u);
  EXPECT_EQ(r, (Words{0, 0, 0}));
  EXPECT_EQ(BigSub(r.data(), r.data(), one.data(), 3), 1u);
  EXPECT_EQ(r, ones);
}

TEST(BigAddSub, ResultMayAliasEitherOperand) {
  Words a = SeededWords(5, 1), b = SeededWords(5, 2);
  Words sum(5);
  uint32_t carry = BigAdd(sum.data(), a.data(), b.data(), 5);
  Words x = a, y = b;
  EXPECT_EQ(BigAdd(x.data(), x.data(), b.data(), 5), carry);
  EXPECT_EQ(BigAdd(y.data(), a.data(), y.data(), 5), carry);
  EXPECT_EQ(x, sum);
  EXPECT_EQ(y, sum);
  EXPECT_EQ(BigSub(x.data(), x.data(), b.data(), 5), carry);  // a + b - b wraps back
  EXPECT_EQ(x, a);
}

TEST(BigShift, RightAndLeftByWordAndBitAmounts) {
  const Words value = {0x89abcdef, 0x01234567, 0x80000001};
  struct Case {
    unsigned k;
    Words right, left;
  };
  const Case cases[] = {
      {0, value, value},
      {1, {0xc4d5e6f7, 0x8091a2b3, 0x40000000}, {0x13579bde, 0x02468acf, 0x00000002}},
      {4, {0x789abcde, 0x10123456, 0x08000000}, {0x9abcdef0, 0x12345678, 0x00000010}},
      {32, {0x01234567, 0x80000001, 0}, {0, 0x89abcdef, 0x01234567}},
      {36, {0x10123456, 0x08000000, 0}, {0, 0x9abcdef0, 0x12345678}},
      {95, {1, 0, 0}, {0, 0, 0x80000000}},
      {96, {0, 0, 0}, {0, 0, 0}},
      {1000, {0, 0, 0}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    Words r = value, l = value;
    BigShiftRight(r.data(), 3, c.k);
    BigShiftLeft(l.data(), 3, c.k);
    EXPECT_EQ(r, c.right) << "k = " << c.k;
    EXPECT_EQ(l, c.left) << "k = " << c.k;
  }
  Words one_bit = value;
  BigShiftRight1(one_bit.data(), 3);
  EXPECT_EQ(one_bit, cases[1].right);
}

TEST(BigNegate, IsTwosComplement) {
  struct Case {
    Words value, negated;
  };
  const Case cases[] = {
      {{0, 0, 0}, {0, 0, 0}},
      {{1, 0, 0}, {0xffffffff, 0xffffffff, 0xffffffff}},
      {{0, 5, 0}, {0, 0xfffffffb, 0xffffffff}},  // low zero words stay zero
      {{0, 0, 0x80000000}, {0, 0, 0x80000000}},
      {{7, 1, 2}, {0xfffffff9, 0xfffffffe, 0xfffffffd}},
  };
  for (const auto& c : cases) {
    Words v = c.value;
    BigNegate(v.data(), v.size());
    EXPECT_EQ(v, c.negated);
  }
}

TEST(BigBitLength, CountsUpToTheHighestSetBit) {
  Words low_only(20, 0), high_in_eighth(20, 0);
  low_only[0] = 6;
  high_in_eighth[11] = 0x10;
  struct Case {
    Words value;
    unsigned bits;
  };
  const Case cases[] = {
      {{0, 0}, 0},
      {{1, 0}, 1},
      {{0, 1}, 33},
      {{0xffffffff, 0xffffffff}, 64},
      {low_only, 3},  // a long run of zero words on top
      {high_in_eighth, 32 * 11 + 5},
  };
  for (const auto& c : cases) EXPECT_EQ(BigBitLength(c.value.data(), c.value.size()), c.bits);
}

TEST(BigMultiply, MatchesTheBitByBitProduct) {
  struct Case {
    const char* name;
    Words a, b;
  };
  Words ones(9, 0xffffffff);
  Words sparse(9, 0);
  sparse[0] = 3;
  sparse[5] = 0x80000000;
  Words short_a = SeededWords(9, 3);
  for (size_t i = 4; i < 9; ++i) short_a[i] = 0;
  const Case cases[] = {
      {"random", SeededWords(9, 1), SeededWords(9, 2)},
      {"all ones", ones, ones},
      {"zero words in b", SeededWords(9, 4), sparse},
      {"leading zero words in a", short_a, SeededWords(9, 5)},
      {"zero factor", SeededWords(9, 6), Words(9, 0)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Schoolbook(c.a, c.b), ReferenceProduct(c.a, c.b)) << c.name;
    EXPECT_EQ(Schoolbook(c.b, c.a), ReferenceProduct(c.a, c.b)) << c.name;
  }
}

TEST(BigMultiply, SixteenWordProductsAndSquares) {
  const Words inputs[] = {SeededWords(16, 7), SeededWords(16, 8), Words(16, 0xffffffff),
                          Words(16, 0)};
  for (const auto& a : inputs) {
    Words square(32);
    BigSquare16(square.data(), a.data());
    EXPECT_EQ(square, ReferenceProduct(a, a));
    for (const auto& b : inputs) {
      Words r(32);
      BigMultiply16(r.data(), a.data(), b.data());
      EXPECT_EQ(r, ReferenceProduct(a, b));
    }
  }
}

// Division results are checked by quotient * divisor + remainder == dividend
// with remainder < divisor, which pins them down uniquely.
void ExpectDivision(const Words& dividend, const Words& divisor) {
  size_t n = dividend.size();
  Words x = dividend, d = divisor, q(n), r(n);
  BigDivide(q.data(), r.data(), x.data(), d.data(), n);
  EXPECT_LT(BigCompare(r.data(), divisor.data(), n), 0);
  Words back = Schoolbook(q, divisor);
  Words r_wide(2 * n, 0);
  std::copy(r.begin(), r.end(), r_wide.begin());
  BigAdd(back.data(), back.data(), r_wide.data(), 2 * n);
  EXPECT_EQ(Words(back.begin(), back.begin() + n), dividend);
  EXPECT_EQ(Words(back.begin() + n, back.end()), Words(n, 0));
  // The buffers end as promised: remainder in the dividend, divisor >> 1.
  Words half = divisor;
  BigShiftRight1(half.data(), n);
  EXPECT_EQ(x, r);
  EXPECT_EQ(d, half);
}

TEST(BigDivide, QuotientTimesDivisorPlusRemainderIsTheDividend) {
  Words small_divisor(8, 0);
  small_divisor[0] = 0x12345;
  Words half_width = SeededWords(8, 11);
  for (size_t i = 4; i < 8; ++i) half_width[i] = 0;
  ExpectDivision(SeededWords(8, 10), half_width);
  ExpectDivision(SeededWords(8, 12), small_divisor);
  ExpectDivision(Words(8, 0xffffffff), Words{1, 0, 0, 0, 0, 0, 0, 0});
  Words value = SeededWords(8, 13);
  ExpectDivision(value, value);
}

TEST(BigDivide, DividendBelowDivisorGivesZeroQuotient) {
  const Words dividends[] = {{5, 1}, {5, 2}, {0, 0}};  // shorter, same length, zero
  for (const auto& dividend : dividends) {
    Words x = dividend, divisor = {6, 2}, q = {7, 7}, r(2);
    BigDivide(q.data(), r.data(), x.data(), divisor.data(), 2);
    EXPECT_EQ(q, (Words{0, 0}));
    EXPECT_EQ(r, dividend);
  }
}

TEST(BigDivide, FullWidthByAShorterDivisor) {
  Words divisor = SeededWords(kBigWords, 15);
  for (size_t i = 70; i < kBigWords; ++i) divisor[i] = 0;
  ExpectDivision(SeededWords(kBigWords, 14), divisor);
}

// Signed values of two words, written as int64_t for readability.
Words FromSigned(int64_t v) {
  auto u = static_cast<uint64_t>(v);
  return {static_cast<uint32_t>(u), static_cast<uint32_t>(u >> 32)};
}

TEST(BigSignedDivide, TruncatesTowardZero) {
  struct Case {
    int64_t a, b, quotient, remainder;
  };
  const Case cases[] = {
      {7, 2, 3, 1}, {-7, 2, -3, -1}, {7, -2, -3, 1}, {-7, -2, 3, -1}, {-6, 3, -2, 0}, {2, 7, 0, 2},
  };
  for (const auto& c : cases) {
    Words a = FromSigned(c.a), b = FromSigned(c.b), q(2), r(2), scratch(BigSignedScratchWords(2));
    BigSignedDivide(q.data(), r.data(), a.data(), b.data(), 2, scratch.data());
    EXPECT_EQ(q, FromSigned(c.quotient)) << c.a << " / " << c.b;
    EXPECT_EQ(r, FromSigned(c.remainder)) << c.a << " % " << c.b;
    EXPECT_EQ(a, FromSigned(c.a));  // inputs are left untouched
    EXPECT_EQ(b, FromSigned(c.b));
  }
}

TEST(BigSignedMultiply, SignOfTheProductFollowsTheFactors) {
  const int64_t cases[][2] = {{6, 7}, {-6, 7}, {6, -7}, {-6, -7}, {0, -5}, {-0x40000000, 3}};
  for (const auto& c : cases) {
    Words a = FromSigned(c[0]), b = FromSigned(c[1]), p(4), scratch(BigSignedScratchWords(2));
    BigSignedMultiply(p.data(), a.data(), b.data(), 2, scratch.data());
    EXPECT_EQ(Words(p.begin(), p.begin() + 2), FromSigned(c[0] * c[1])) << c[0] << " * " << c[1];
  }
}

}  // namespace
}  // namespace orv
