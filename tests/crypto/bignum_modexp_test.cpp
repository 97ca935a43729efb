// Montgomery multiplication and modular exponentiation. Expected powers
// come from three sources: a 128-bit reference for one- and two-word
// values, Python's pow() for wide values (computed once, offline, from the
// same pseudo-random operands the test generates) and algebraic identities.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "crypto/bignum.hpp"

namespace orv {
namespace {

using Words = std::vector<uint32_t>;
__extension__ typedef unsigned __int128 u128;

// splitmix64 words, drawn in sequence (the same stream the offline
// expected values were computed from).
class WordStream {
 public:
  explicit WordStream(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ += 0x9e3779b97f4a7c15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return static_cast<uint32_t>(z ^ (z >> 31));
  }
  Words Take(size_t n) {
    Words w(n);
    for (auto& word : w) word = Next();
    return w;
  }

 private:
  uint64_t state_;
};

// Operands of one exponentiation: an odd full-width modulus, then a base
// below it, then an exponent.
struct Operands {
  Words modulus, base, exponent;
};

Operands MakeOperands(size_t n, uint64_t seed) {
  WordStream s(seed);
  Operands o;
  o.modulus = s.Take(n);
  o.modulus[0] |= 1;
  o.modulus[n - 1] |= 0x80000000;
  o.base = s.Take(n);
  o.base[n - 1] &= 0x7fffffff;
  o.exponent = s.Take(n);
  return o;
}

// Big-endian hex digits to n words.
Words FromHex(std::string_view hex, size_t n) {
  Words w(n, 0);
  size_t bit = 0;
  for (size_t i = hex.size(); i-- > 0; bit += 4) {
    char c = hex[i];
    uint32_t digit = c <= '9' ? c - '0' : c - 'a' + 10;
    w[bit / 32] |= digit << (bit % 32);
  }
  return w;
}

Words Small(size_t n, uint32_t value) {
  Words w(n, 0);
  w[0] = value;
  return w;
}

Words Power(ModExpContext& c, const Words& base, const Words& exponent, const Words& modulus) {
  Words r(modulus.size());
  ModExp(c, r.data(), base.data(), exponent.data(), modulus.data());
  return r;
}

uint64_t ReferencePower(uint64_t base, uint64_t exponent, uint64_t modulus) {
  u128 result = 1 % modulus, square = base % modulus;
  for (; exponent != 0; exponent >>= 1) {
    if (exponent & 1) result = result * square % modulus;
    square = square * square % modulus;
  }
  return static_cast<uint64_t>(result);
}

Words FromU64(uint64_t v, size_t n) {
  Words w(n, 0);
  w[0] = static_cast<uint32_t>(v);
  if (n > 1) w[1] = static_cast<uint32_t>(v >> 32);
  return w;
}

TEST(ModExp, OneAndTwoWordValuesMatchA128BitReference) {
  for (size_t n : {1u, 2u}) {
    ModExpContext c(n);
    WordStream s(n);
    for (int i = 0; i < 100; ++i) {
      uint64_t modulus = (uint64_t{s.Next()} << 32 | s.Next()) | 1;
      uint64_t base = uint64_t{s.Next()} << 32 | s.Next();
      uint64_t exponent = uint64_t{s.Next()} << 32 | s.Next();
      if (n == 1) {
        modulus &= 0xffffffff;
        exponent &= 0xffffffff;
        if (i % 2) modulus >>= i % 31;  // short moduli too
      } else if (i % 2) {
        modulus >>= i % 63;
      }
      modulus |= 1;
      base %= modulus;
      Words r = Power(c, FromU64(base, n), FromU64(exponent, n), FromU64(modulus, n));
      EXPECT_EQ(r, FromU64(ReferencePower(base, exponent, modulus), n))
          << base << "^" << exponent << " mod " << modulus;
    }
  }
}

struct WideCase {
  size_t n;
  uint64_t seed;
  const char* expected;  // base^exponent mod modulus, big-endian hex
};

const WideCase kWideCases[] = {
    {32, 1,
         "12e39ec1cf6d96c7d29a58b9bd55eafc0df7883a2c9516f1f8368ca26cf03f86"
         "51b605ec599409fe127863bdf42050d33e66d40fbf9a1546b09ec18257eb6856"
         "bc73d12b6327b30ae705358bf06349ac993f7aecabbe003e6e2a3599ab6cb45b"
         "271d0ddf7b74396493fed1ad55d309a5cdea3d0458509ca48dd970855400d4f4"},
    {128, 2,
         "3d26cda77e9af9bb8392a80145ddfd5557403d73359989546b8c8a97dbe9bc15"
         "028dd82975ff7014db56dcf345b26a18dc042904a0f96fd690e3db101b79e9a1"
         "24d73d99c69a6585fd2e36bdc715ec834bbb5162ff211319f8e3d057399a56c0"
         "0127c2cb2a53e8e0714e429ecb0066cf623adb0b5f7d017d2613510d805812a7"
         "7c970aea25ceeb8f5e664393d3c45ccd38e7bafa45a481d5fcc35338961415d8"
         "1d2447735a34b3a878d3f7f2f378f43d9eff42051511cfe467566e0fcf53f688"
         "23b2bfa1de20344ce0460e9a02d5c9265282400ecbdfe94ac2e56fd47ba8d657"
         "b26679ae5dad101de328d3b8034b783ef6798646cea0617d64c600dd93d61333"
         "bb3691c4a324974d4fc624ed9340e9dee252e6d67ae20f5c9b9ed7639b32b073"
         "fa4678568b6034b263602d5e0a71d99ecb2bf24a2341bfd804406626b85a2f7d"
         "c2f6cb0dc60c27bf6087679894cf648974f6bf6056f0cc0e606656cb762b36ca"
         "b610292e9ea23d4d324f6b5ad885102d022a3e3369c1829d1113549f0335e6f1"
         "9c86b6c2806b1d857132871abc810cb3def09a9bfe80ce5d7e6689817d9d18c2"
         "80e55fc0533d01fa6595191717450cce25edd60972839162ca26532b07b20904"
         "1c726a700a5addfcb646cc04ff925641c8864a97f7d6f1270b3943890037f716"
         "fffe29b29480b336658fb40d40b4f30d8104079dccf22e5cded18e0af6d2340f"},
    {128, 3,
         "304f0dd16d62e21e1e8aaf40a64db0ecb1e981db78e036a7c0ab360cd9fd6d78"
         "50c862cc9d18a6bfd52bf64c0ec30237abcd632281710c464b8fb21459f73310"
         "22db882c00a7ce83ea0ad07ada7c8c5459ed9551cc8a6501964be75a1984a391"
         "d1ded19bace196a86bbbbb6e9fb6a4cf96a81aabd5c016879d74209a2276b197"
         "4c766d853a661f9bf86df7e88122b8f2c22c999c3250d9017a7bc9cf6da4cf46"
         "6d9e7512fbd001ec6d36755998e27ca9f82fae19f7042a27e40920a4f2f6f26c"
         "e95ab23c4e72484ab6a7d1b03f747f3306dd8290dd1e3902c78d176a2303235d"
         "21e14cf0bac5af39069ce4aaffc834ee7e193567357912daf7ba0f080215d084"
         "3b2599ad9c5340af9f6e594295816e2cd820d9185dea90a3b797eef33a5818c3"
         "5d811140c7a6dee4ef76153c15bb486c1908ac8122c118cdf9f5469d8fdcd8c7"
         "3abe94acd868ff41ab5e9cf7c1ca5de724afddaa423d4acc1c82424300d7d20a"
         "8e60aabdac9f34c976ca4692da7df963b7f983f363cf7a9bed4bbf008ded5c98"
         "56753b18cadb4fbb254ac9d725274f585a9006813a532625aca400a076bb3091"
         "a6e5ff09c8155bd348faab38bf06eb887bbc85623f42e3068a9a3757b65779a1"
         "fc89944e56ca36204dbec377f4b7ee38d0994ad9ab2611876d39ba760b83c3ca"
         "6bcc5b14897f6d9e563e1b128d368d5cf008592d552ccff5d9e798c6dc9d9045"},
};

TEST(ModExp, WideValuesMatchOfflineReference) {
  for (const auto& k : kWideCases) {
    ModExpContext c(k.n);
    Operands o = MakeOperands(k.n, k.seed);
    EXPECT_EQ(Power(c, o.base, o.exponent, o.modulus), FromHex(k.expected, k.n))
        << k.n << " words, seed " << k.seed;
  }
}

TEST(ModExp, BaseAboveAFullWidthModulusIsReducedFirst) {
  // All-ones base; the Barrett step still reduces it fully because the
  // modulus has its top bit set.
  const size_t n = 32;
  WordStream s(4);
  Words modulus = s.Take(n);
  modulus[0] |= 1;
  modulus[n - 1] |= 0x80000000;
  Words exponent = s.Take(n);
  ModExpContext c(n);
  EXPECT_EQ(Power(c, Words(n, 0xffffffff), exponent, modulus),
            FromHex(
                "88edcb4f0b45ec117bb48b2d39af87c88c861694323bdd92df56620dca795f65"
                "a54440b2b0fec888deb74619cf6753f7a355cc74a87183b0039395e3b518c506"
                "ce945f43b6dcd37467a81c01246b72552eff9602a12f8b81430ebe340af64f3a"
                "c75e827138f77d17a0b476bf9daca5bf8d1f113c5ef7232a6123908fb3622302",
                    n));
  Words reduced(n);
  BigSub(reduced.data(), Words(n, 0xffffffff).data(), modulus.data(), n);
  EXPECT_EQ(Power(c, Words(n, 0xffffffff), Small(n, 1), modulus), reduced);
}

TEST(ModExp, ExponentZeroGivesOneAndExponentOneGivesTheBase) {
  const size_t n = 32;
  ModExpContext c(n);
  Operands o = MakeOperands(n, 5);
  EXPECT_EQ(Power(c, o.base, Small(n, 0), o.modulus), Small(n, 1));
  EXPECT_EQ(Power(c, o.base, Small(n, 1), o.modulus), o.base);
  EXPECT_EQ(Power(c, Small(n, 0), o.exponent, o.modulus), Small(n, 0));
}

TEST(ModExp, CachedModulusGivesTheSameResultsAsAFreshContext) {
  const size_t n = 32;
  Operands a = MakeOperands(n, 6), b = MakeOperands(n, 7);
  auto fresh = [&](const Operands& o, const Words& base) {
    ModExpContext c(n);
    return Power(c, base, o.exponent, o.modulus);
  };
  ModExpContext c(n);
  // Same modulus twice, then alternating moduli, then after a Clear.
  EXPECT_EQ(Power(c, a.base, a.exponent, a.modulus), fresh(a, a.base));
  EXPECT_EQ(Power(c, b.base, a.exponent, a.modulus), fresh(a, b.base));
  EXPECT_EQ(Power(c, b.base, b.exponent, b.modulus), fresh(b, b.base));
  EXPECT_EQ(Power(c, a.base, a.exponent, a.modulus), fresh(a, a.base));
  c.Clear();
  EXPECT_EQ(Power(c, a.base, a.exponent, a.modulus), fresh(a, a.base));
}

TEST(ModExp, ResultMayOverwriteItsInputs) {
  const size_t n = 16;
  Operands o = MakeOperands(n, 8);
  ModExpContext c(n);
  Words expected = Power(c, o.base, o.exponent, o.modulus);
  Words base = o.base, exponent = o.exponent;
  ModExp(c, base.data(), base.data(), o.exponent.data(), o.modulus.data());
  ModExp(c, exponent.data(), o.base.data(), exponent.data(), o.modulus.data());
  EXPECT_EQ(base, expected);
  EXPECT_EQ(exponent, expected);
}

TEST(ModExpContext, WorksAfterAMoveAndHeldByPointer) {
  const size_t n = 16;
  Operands o = MakeOperands(n, 9);
  ModExpContext first(n);
  Words expected = Power(first, o.base, o.exponent, o.modulus);
  ModExpContext moved = std::move(first);
  EXPECT_EQ(Power(moved, o.base, o.exponent, o.modulus), expected);
  auto held = std::make_unique<ModExpContext>(n);
  *held = std::move(moved);
  EXPECT_EQ(Power(*held, o.base, o.exponent, o.modulus), expected);
}

// Montgomery product times R is a * b modulo m: both sides reduced by long
// division over 2n words.
TEST(MontgomeryMultiply, TimesTheRadixIsTheProductModuloM) {
  const size_t n = kBigWords;
  Operands o = MakeOperands(n, 10);
  Words other = MakeOperands(n, 11).base;
  ModExpContext c(n);
  MontgomerySetup(c, o.modulus.data());
  auto reduce = [&](Words x) {
    Words divisor(2 * n, 0), q(2 * n), r(2 * n);
    std::copy(o.modulus.begin(), o.modulus.end(), divisor.begin());
    BigDivide(q.data(), r.data(), x.data(), divisor.data(), 2 * n);
    return Words(r.begin(), r.begin() + n);
  };
  for (const Words* b : {&other, &o.base}) {
    Words result(n), product(2 * n), shifted(2 * n, 0);
    MontgomeryMultiply(c, result.data(), o.base.data(), b->data());
    BigMultiply(product.data(), o.base.data(), b->data(), n);
    std::copy(result.begin(), result.end(), shifted.begin() + n);
    EXPECT_LT(BigCompare(result.data(), o.modulus.data(), n), 0);
    EXPECT_EQ(reduce(shifted), reduce(product));
  }
}

}  // namespace
}  // namespace orv
