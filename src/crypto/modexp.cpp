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

void ModExpProduct(ModExpContext& c, uint32_t* result, const uint32_t* base1, const uint32_t* exponent1,
                   const uint32_t* base2, const uint32_t* exponent2, const uint32_t* modulus) {
  MontgomeryContext& mont = c.mont_;
  const size_t n = mont.Words(), L = mont.Limbs();
  constexpr unsigned w = ModExpContext::kWindowBits;
  mont.Setup(modulus);
  mont.Load(c.operand_.data(), base1);
  c.FillTable(c.table_.data(), c.operand_.data());
  mont.Load(c.operand_.data(), base2);
  c.FillTable(c.table2_.data(), c.operand_.data());
  uint64_t* acc = c.accumulator_.data();
  std::memcpy(acc, mont.One(), L * sizeof *acc);
  bool started = false;  // squarings of 1 are skipped
  size_t position = 32 * n;
  unsigned width = position % w != 0 ? position % w : w;
  while (position > 0) {
    position -= width;
    if (started)
      for (unsigned i = 0; i < width; ++i) mont.Sqr(acc, acc);
    const uint32_t d1 = Window(exponent1, n, position, width);
    const uint32_t d2 = Window(exponent2, n, position, width);
    if (d1 != 0) mont.Mul(acc, acc, c.Entry(c.table_.data(), d1));
    if (d2 != 0) mont.Mul(acc, acc, c.Entry(c.table2_.data(), d2));
    started = started || d1 != 0 || d2 != 0;
    width = w;
  }
  mont.FromMontgomery(acc, acc);
  mont.Store(result, acc);
}

}  // namespace orv
