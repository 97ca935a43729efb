// Exponentiation in Montgomery form: the base is taken into the form with a
// product by R^2 mod m, the powers are multiplied in the form and the
// result leaves it with a reduction.
#include "crypto/modexp.hpp"

#include <bit>
#include <cassert>
#include <cstring>

namespace orv {

namespace modexp_detail {

void Gather(uint64_t* dst, const uint64_t* table, size_t entries, size_t limbs, uint32_t index) {
  std::memset(dst, 0, limbs * sizeof *dst);
  for (size_t e = 0; e < entries; ++e) {
    const uint64_t x = e ^ index;
    uint64_t mask = ((x | (0 - x)) >> 63) - 1;  // all ones for the wanted entry
    asm("" : "+r"(mask));                       // keep it a mask, not a branch
    const uint64_t* entry = table + e * limbs;
    for (size_t i = 0; i < limbs; ++i) dst[i] |= entry[i] & mask;
  }
}

}  // namespace modexp_detail

using modexp_detail::Gather;
using modexp_detail::Window;

ModExpContext::ModExpContext(size_t n)
    : mont_(n),
      table_(kTableEntries * mont_.Limbs()),
      table2_(kTableEntries * mont_.Limbs()),
      accumulator_(mont_.Limbs()),
      entry_(mont_.Limbs()),
      operand_(mont_.Limbs()) {
  assert(std::has_single_bit(n));
}

void ModExpContext::Clear() {
  mont_.Clear();
  for (SecureLimbs* s : {&table_, &table2_, &accumulator_, &entry_, &operand_}) s->Wipe();
}

void ModExpContext::FillTable(uint64_t* table, const uint64_t* base) {
  const size_t L = mont_.Limbs();
  std::memcpy(Entry(table, 0), mont_.One(), L * sizeof *table);
  mont_.ToMontgomery(Entry(table, 1), base);
  for (size_t i = 2; i < kTableEntries; ++i) {
    if (i % 2 == 0) {
      mont_.Sqr(Entry(table, i), Entry(table, i / 2));
    } else {
      mont_.Mul(Entry(table, i), Entry(table, i - 1), Entry(table, 1));
    }
  }
}

void MontgomerySetup(ModExpContext& c, const uint32_t* modulus) { c.mont_.Setup(modulus); }

void MontgomeryMultiply(ModExpContext& c, uint32_t* result, const uint32_t* a, const uint32_t* b) {
  MontgomeryContext& mont = c.mont_;
  mont.Load(c.accumulator_.data(), a);
  mont.Load(c.operand_.data(), b);
  mont.Mul(c.accumulator_.data(), c.accumulator_.data(), c.operand_.data());
  mont.Store(result, c.accumulator_.data());
}

void ModExp(ModExpContext& c, uint32_t* result, const uint32_t* base, const uint32_t* exponent,
            const uint32_t* modulus) {
  MontgomeryContext& mont = c.mont_;
  const size_t n = mont.Words(), L = mont.Limbs();
  constexpr unsigned w = ModExpContext::kWindowBits;
  mont.Setup(modulus);
  mont.Load(c.operand_.data(), base);
  uint64_t* table = c.table_.data();
  c.FillTable(table, c.operand_.data());
  uint64_t* acc = c.accumulator_.data();
  uint64_t* entry = c.entry_.data();
  // The top window takes what is left over from whole windows below it.
  size_t position = 32 * n;
  const unsigned first = position % w != 0 ? position % w : w;
  position -= first;
  Gather(acc, table, ModExpContext::kTableEntries, L, Window(exponent, n, position, first));
  while (position > 0) {
    position -= w;
    for (unsigned i = 0; i < w; ++i) mont.Sqr(acc, acc);
    Gather(entry, table, ModExpContext::kTableEntries, L, Window(exponent, n, position, w));
    mont.Mul(acc, acc, entry);
  }
  mont.FromMontgomery(acc, acc);
  mont.Store(result, acc);
  // The powers of the base and the running value go with the call.
  for (SecureLimbs* s : {&c.table_, &c.accumulator_, &c.entry_, &c.operand_}) s->Wipe();
  mont.WipeScratch();
}

namespace {

bool Bit(const uint32_t* e, size_t i) { return (e[i / 32] >> (i % 32)) & 1; }

// A window of a sliding-window walk: set bits pos..top of the exponent as
// the odd value `value`, multiplied in at bit pos.
struct SlidingWindow {
  bool active = false;
  size_t pos = 0;
  uint32_t value = 0;
};

// The window that starts at the set bit `top`: at most w bits, ending on a
// set bit.
SlidingWindow OpenWindow(const uint32_t* e, size_t n, size_t top, unsigned w) {
  size_t low = top + 1 >= w ? top + 1 - w : 0;
  while (!Bit(e, low)) ++low;
  return {true, low, Window(e, n, low, static_cast<unsigned>(top - low + 1))};
}

}  // namespace

// Sliding windows of up to 6 bits: their odd values 1, 3, ... 63 fill a
// table of kTableEntries powers.
constexpr unsigned kSlidingWindowBits = 6;
static_assert(size_t{1} << (kSlidingWindowBits - 1) == ModExpContext::kTableEntries);

// Odd powers base^1, base^3, ... base^63 into table entries 0..31.
void ModExpContext::FillOddPowers(uint64_t* table, const uint64_t* base) {
  uint64_t* square = entry_.data();
  mont_.ToMontgomery(Entry(table, 0), base);
  mont_.Sqr(square, Entry(table, 0));
  for (size_t i = 1; i < kTableEntries; ++i) mont_.Mul(Entry(table, i), Entry(table, i - 1), square);
}

// Left-to-right sliding windows over both exponents at once, sharing the
// squarings.
void ModExpProduct(ModExpContext& c, uint32_t* result, const uint32_t* base1, const uint32_t* exponent1,
                   const uint32_t* base2, const uint32_t* exponent2, const uint32_t* modulus) {
  MontgomeryContext& mont = c.mont_;
  const size_t n = mont.Words(), L = mont.Limbs();
  constexpr unsigned w = kSlidingWindowBits;
  mont.Setup(modulus);
  mont.Load(c.operand_.data(), base1);
  c.FillOddPowers(c.table_.data(), c.operand_.data());
  mont.Load(c.operand_.data(), base2);
  c.FillOddPowers(c.table2_.data(), c.operand_.data());
  uint64_t* acc = c.accumulator_.data();
  std::memcpy(acc, mont.One(), L * sizeof *acc);
  bool started = false;  // squarings of 1 are skipped
  SlidingWindow w1, w2;
  for (size_t i = 32 * n; i-- > 0;) {
    if (started) mont.Sqr(acc, acc);
    if (!w1.active && Bit(exponent1, i)) w1 = OpenWindow(exponent1, n, i, w);
    if (!w2.active && Bit(exponent2, i)) w2 = OpenWindow(exponent2, n, i, w);
    if (w1.active && w1.pos == i) {
      mont.Mul(acc, acc, c.Entry(c.table_.data(), w1.value / 2));
      w1.active = false;
      started = true;
    }
    if (w2.active && w2.pos == i) {
      mont.Mul(acc, acc, c.Entry(c.table2_.data(), w2.value / 2));
      w2.active = false;
      started = true;
    }
  }
  mont.FromMontgomery(acc, acc);
  mont.Store(result, acc);
}

}  // namespace orv
