#include "crypto/fixed_base.hpp"

#include <cstring>

#include "crypto/modexp.hpp"

namespace orv {

FixedBaseTable::FixedBaseTable(size_t n)
    : n_(n),
      limbs_((n + 1) / 2),
      columns_((32 * n + kRows - 1) / kRows),
      table_(kEntries * limbs_),
      scratch_(2 * limbs_) {}

void FixedBaseTable::Clear() {
  table_.Wipe();
  scratch_.Wipe();
}

void FixedBaseTable::Build(MontgomeryContext& mont, const uint32_t* base, const uint32_t* modulus) {
  const size_t bytes = limbs_ * sizeof(uint64_t);
  mont.Setup(modulus);
  std::memcpy(Entry(0), mont.One(), bytes);
  // Entry 2^r = base^(2^(r * columns)).
  mont.Load(scratch_.data(), base);
  mont.ToMontgomery(Entry(1), scratch_.data());
  for (unsigned r = 1; r < kRows; ++r) {
    uint64_t* row = Entry(size_t{1} << r);
    std::memcpy(row, Entry(size_t{1} << (r - 1)), bytes);
    for (size_t i = 0; i < columns_; ++i) mont.Sqr(row, row);
  }
  // Every other entry: its top row times the entry of the rows below.
  for (size_t j = 3; j < kEntries; ++j) {
    const size_t top = size_t{1} << (63 - __builtin_clzll(j));
    if (j != top) mont.Mul(Entry(j), Entry(top), Entry(j - top));
  }
}

uint32_t FixedBaseTable::Column(const uint32_t* exponent, size_t column) const {
  uint32_t bits = 0;
  for (unsigned r = 0; r < kRows; ++r) {
    const size_t position = r * columns_ + column;
    if (position < 32 * n_) bits |= ((exponent[position / 32] >> (position % 32)) & 1) << r;
  }
  return bits;
}

void FixedBaseTable::Power(MontgomeryContext& mont, uint32_t* result, const uint32_t* exponent) {
  Power(mont, result, exponent, scratch_.data());
  scratch_.Wipe();
}

void FixedBaseTable::Power(MontgomeryContext& mont, uint32_t* result, const uint32_t* exponent,
                           uint64_t* scratch) const {
  uint64_t* acc = scratch;
  uint64_t* entry = scratch + limbs_;
  size_t column = columns_ - 1;
  modexp_detail::Gather(acc, table_.data(), kEntries, limbs_, Column(exponent, column));
  while (column-- > 0) {
    mont.Sqr(acc, acc);
    modexp_detail::Gather(entry, table_.data(), kEntries, limbs_, Column(exponent, column));
    mont.Mul(acc, acc, entry);
  }
  mont.FromMontgomery(acc, acc);
  mont.Store(result, acc);
  mont.WipeScratch();
}

}  // namespace orv
