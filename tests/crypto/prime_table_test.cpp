#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "crypto/bignum.hpp"
#include "crypto/byte_order.hpp"
#include "crypto/prime_table.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

constexpr size_t kN = 128;
constexpr size_t kFirstText = 257, kLastText = 356, kTextPiece = 507;

// The text the text entries carry: the GNU GPL version 3, then version 2, as
// Debian ships them, with CR LF line ends.
std::string LicenseText() {
  std::string raw;
  for (const char* path : {"/usr/share/common-licenses/GPL-3", "/usr/share/common-licenses/GPL-2"}) {
    std::ifstream in(path, std::ios::binary);
    raw.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string text;
  for (char c : raw) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

TEST(PrimeTable, EveryEntryHasItsShape) {
  std::set<std::vector<uint32_t>> seen;
  uint32_t p[kN];
  for (size_t i = 0; i < kPrimeTableEntries; ++i) {
    ASSERT_TRUE(PrimeTableEntry(i, p));
    EXPECT_NE(p[kN - 1] & 0x80000000u, 0u) << i;
    EXPECT_EQ(p[0] & 3, 3u) << i;
    EXPECT_TRUE(seen.insert(std::vector<uint32_t>(p, p + kN)).second) << "duplicate entry " << i;
  }
  EXPECT_FALSE(PrimeTableEntry(kPrimeTableEntries, p));
}

TEST(PrimeTable, TextEntriesCarryTheLicenseText) {
  const std::string text = LicenseText();
  if (text.size() < (kLastText - kFirstText + 1) * kTextPiece) GTEST_SKIP() << "license texts not installed";
  uint32_t p[kN];
  uint8_t bytes[kPrimeEntryBytes];
  for (size_t i = kFirstText; i <= kLastText; ++i) {
    ASSERT_TRUE(PrimeTableEntry(i, p));
    WordsToLeBytes(bytes, p, kN);
    const std::string piece(reinterpret_cast<const char*>(bytes + 4), kTextPiece);
    EXPECT_EQ(piece, text.substr((i - kFirstText) * kTextPiece, kTextPiece)) << i;
  }
}

TEST(PrimeTable, RandomSafePrimeFollowsTheWipeGenerator) {
  uint32_t p[kN], expected[kN];
  for (uint64_t state = 1; state < 40; ++state) {
    SetWipeState(state);
    uint64_t x = WipeNext(state);
    const uint64_t o1 = WipeOutput(x);
    x = WipeNext(x);
    const uint64_t o2 = WipeOutput(x);
    ASSERT_TRUE(PrimeTableEntry(((o2 << 32) | o1) % kPrimeTableEntries, expected));
    RandomSafePrime(p);
    EXPECT_EQ(std::vector<uint32_t>(p, p + kN), std::vector<uint32_t>(expected, expected + kN)) << state;
  }
}

bool IsValue(const uint32_t* v, const uint32_t* w) { return BigCompare(v, w, kN) == 0; }

// p = 2q + 1 with 2^q = +-1 (mod p) and 2^(q-1) = 1 (mod q), computed with
// the program's own exponentiation. The table is checked in slices of 60
// entries, each a test of its own, so that they run side by side.
constexpr size_t kSlice = 60;
class PrimeTableSlice : public ::testing::TestWithParam<size_t> {};

TEST_P(PrimeTableSlice, EveryEntryIsAProbableSafePrime) {
  ModExpContext ctx(kN);
  uint32_t p[kN], q[kN], e[kN], r[kN], two[kN] = {2}, one[kN] = {1}, p_minus_1[kN];
  for (size_t i = GetParam() * kSlice; i < (GetParam() + 1) * kSlice; ++i) {
    ASSERT_TRUE(PrimeTableEntry(i, p));
    std::copy(p, p + kN, q);
    BigShiftRight1(q, kN);
    ModExp(ctx, r, two, q, p);
    std::copy(p, p + kN, p_minus_1);
    p_minus_1[0] -= 1;
    EXPECT_TRUE(IsValue(r, one) || IsValue(r, p_minus_1)) << "p of entry " << i;
    std::copy(q, q + kN, e);
    e[0] -= 1;
    ModExp(ctx, r, two, e, q);
    EXPECT_TRUE(IsValue(r, one)) << "q of entry " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(PrimeTable, PrimeTableSlice, ::testing::Range<size_t>(0, kPrimeTableEntries / kSlice));

}  // namespace
}  // namespace orv
