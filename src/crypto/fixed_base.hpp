// Powers of one fixed base by a precomputed comb: the exponent's bits are
// laid out in kRows rows of `columns` bits, and table entry j holds the
// product of base^(2^(r * columns)) over the rows r whose bit is set in j.
// A power then costs one squaring and one product per column instead of
// one squaring per exponent bit. The entry of each column is read by
// scanning the whole table with masks: neither a branch nor an address
// depends on the exponent.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/montgomery.hpp"
#include "crypto/secure_limbs.hpp"

namespace orv {

class FixedBaseTable {
 public:
  static constexpr unsigned kRows = 6;
  static constexpr size_t kEntries = size_t{1} << kRows;

  // A table for values and exponents of n words.
  explicit FixedBaseTable(size_t n);
  ~FixedBaseTable() { Clear(); }
  FixedBaseTable(const FixedBaseTable&) = delete;
  FixedBaseTable& operator=(const FixedBaseTable&) = delete;

  // Overwrites the table with wipe generator output; Build is needed again.
  void Clear();

  // Fills the table for base (below m) modulo m; mont is set up for m.
  void Build(MontgomeryContext& mont, const uint32_t* base, const uint32_t* modulus);

  // result = base^exponent mod m (exponent of n words), with the context
  // the table was built with (still set up for m). Its working values are
  // wiped afterwards.
  void Power(MontgomeryContext& mont, uint32_t* result, const uint32_t* exponent);
  // The same with the caller's working values (2L limbs, which the caller
  // wipes): the table is only read, so threads may share one built table,
  // each with its own Montgomery context set up for m.
  void Power(MontgomeryContext& mont, uint32_t* result, const uint32_t* exponent, uint64_t* scratch) const;

  size_t Limbs() const { return limbs_; }

 private:
  uint64_t* Entry(size_t j) { return table_.data() + j * limbs_; }
  uint32_t Column(const uint32_t* exponent, size_t column) const;

  size_t n_ = 0;
  size_t limbs_ = 0;
  size_t columns_ = 0;
  SecureLimbs table_;  // kEntries entries of L limbs, Montgomery form
  SecureLimbs scratch_;  // accumulator and entry, L limbs each
};

}  // namespace orv
