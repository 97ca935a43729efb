// Karatsuba products against the schoolbook product on the shapes that
// exercise its carry paths: random, all-ones (both half sums carry), high
// halves zero, squares (their own code path) and repeated use of one chain.
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



Words Karatsuba(KaratsubaChain& chain, const Words& a, const Words& b) {
  Words r(2 * a.size());
  KaratsubaMultiply(chain, r.data(), a.data(), b.data());
  return r;
}

Words HighHalfZero(size_t n, uint64_t seed) {
  Words w = SeededWords(n, seed);
  std::fill(w.begin() + n / 2, w.end(), 0);
  return w;
}

// Each half is 0xff..ff in its low part and 0 above, so only some of the
// half sums carry.
Words LowHalfOnes(size_t n) {
  Words w(n, 0);
  std::fill(w.begin(), w.begin() + n / 2, 0xffffffff);
  return w;
}

class KaratsubaWidth : public testing::TestWithParam<size_t> {};

TEST_P(KaratsubaWidth, EqualsTheSchoolbookProduct) {
  size_t n = GetParam();
  KaratsubaChain chain(n);
  ASSERT_EQ(chain.Size(), n);
  struct Case {
    const char* name;
    Words a, b;
  };
  const Case cases[] = {
      {"random", SeededWords(n, 1), SeededWords(n, 2)},
      {"all ones", Words(n, 0xffffffff), Words(n, 0xffffffff)},
      {"high halves zero", HighHalfZero(n, 3), HighHalfZero(n, 4)},
      {"one high half zero", SeededWords(n, 5), HighHalfZero(n, 6)},
      {"low halves ones", LowHalfOnes(n), Words(n, 0xffffffff)},
      {"zero", SeededWords(n, 7), Words(n, 0)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Karatsuba(chain, c.a, c.b), Schoolbook(c.a, c.b)) << c.name;
    // a == b takes the squaring path through every level.
    EXPECT_EQ(Karatsuba(chain, c.a, c.a), Schoolbook(c.a, c.a)) << c.name << " squared";
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, KaratsubaWidth, testing::Values(4, 16, 32, 64, 128, 256, 512));

TEST(KaratsubaChain, RoundsItsWidthUpToAPowerOfTwo) {
  EXPECT_EQ(KaratsubaChain(100).Size(), 128u);
  EXPECT_EQ(KaratsubaChain(1).Size(), 1u);
}

TEST(KaratsubaChain, GivesTheSameProductsAfterClearAndAfterAMove) {
  KaratsubaChain chain(kBigWords);
  Words a = SeededWords(kBigWords, 8), b = SeededWords(kBigWords, 9);
  Words expected = Schoolbook(a, b);
  EXPECT_EQ(Karatsuba(chain, a, b), expected);
  chain.Clear();
  EXPECT_EQ(Karatsuba(chain, a, b), expected);
  KaratsubaChain moved = std::move(chain);
  EXPECT_EQ(Karatsuba(moved, a, b), expected);
}

}  // namespace
}  // namespace orv
