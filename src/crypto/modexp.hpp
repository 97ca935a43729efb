// Modular exponentiation with Montgomery multiplication, for odd moduli of
// n words. The context keeps the setup of the last modulus it saw so that
// repeated exponentiations modulo the same number skip it.
//
// ModExp runs in constant time: a fixed 5-bit window over the whole width
// of the exponent, and the window's table entry read by scanning every
// entry with masks, so that neither a branch nor an address depends on the
// exponent or the base. ModExpProduct is for public values only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/montgomery.hpp"
#include "crypto/secure_limbs.hpp"

namespace orv {

class ModExpContext {
 public:
  // A context for values of n words; n is a power of two.
  explicit ModExpContext(size_t n);
  ~ModExpContext() { Clear(); }
  ModExpContext(ModExpContext&&) noexcept = default;
  ModExpContext& operator=(ModExpContext&&) noexcept = default;
  ModExpContext(const ModExpContext&) = delete;
  ModExpContext& operator=(const ModExpContext&) = delete;

  // Overwrites every buffer, the cached modulus included, with wipe
  // generator output and forgets the cached modulus.
  void Clear();

  size_t Width() const { return mont_.Words(); }

  // The Montgomery arithmetic underneath (kernel choice, products mod m).
  MontgomeryContext& Montgomery() { return mont_; }

  static constexpr unsigned kWindowBits = 5;
  static constexpr size_t kTableEntries = size_t{1} << kWindowBits;

 private:
  friend void ModExp(ModExpContext& c, uint32_t* result, const uint32_t* base, const uint32_t* exponent,
                     const uint32_t* modulus);
  friend void ModExpProduct(ModExpContext& c, uint32_t* result, const uint32_t* base1, const uint32_t* exponent1,
                            const uint32_t* base2, const uint32_t* exponent2, const uint32_t* modulus);
  friend void MontgomeryMultiply(ModExpContext& c, uint32_t* result, const uint32_t* a, const uint32_t* b);
  friend void MontgomerySetup(ModExpContext& c, const uint32_t* modulus);

  // table[i] = base^i in Montgomery form, i < 32; base as limbs.
  void FillTable(uint64_t* table, const uint64_t* base);
  // table[i] = base^(2i + 1) in Montgomery form, i < 32.
  void FillOddPowers(uint64_t* table, const uint64_t* base);
  uint64_t* Entry(uint64_t* table, size_t i) { return table + i * mont_.Limbs(); }

  MontgomeryContext mont_;
  SecureLimbs table_;   // 32 entries of L limbs
  SecureLimbs table2_;  // the second base's, for ModExpProduct
  SecureLimbs accumulator_, entry_, operand_;
};

// Makes m (odd, n words) the context's modulus: when it equals the cached
// one nothing is done.
void MontgomerySetup(ModExpContext& c, const uint32_t* modulus);

// result = a * b * R^-1 mod m for a, b < m, with m set by MontgomerySetup or
// ModExp; R = 2^32n for even n (2^(32n + 32) for odd n). result may alias
// a or b.
void MontgomeryMultiply(ModExpContext& c, uint32_t* result, const uint32_t* a, const uint32_t* b);

// result = base^exponent mod m for odd m, base < m (or any base below 2^32n
// when m has its top bit set) and an exponent of n words; the whole width
// of the exponent is worked through whatever its value; its working values
// are wiped before it returns. result may alias any input.
void ModExp(ModExpContext& c, uint32_t* result, const uint32_t* base, const uint32_t* exponent,
            const uint32_t* modulus);

// result = base1^exponent1 * base2^exponent2 mod m in one pass of squarings
// with a sliding window over each exponent (bases below m). Its running time follows the exponents: public values
// only. result may alias any input.
void ModExpProduct(ModExpContext& c, uint32_t* result, const uint32_t* base1, const uint32_t* exponent1,
                   const uint32_t* base2, const uint32_t* exponent2, const uint32_t* modulus);

namespace modexp_detail {

// The w-bit window of the exponent (n words) starting at bit `position`
// (bits past the top read as 0). Position and width are public; the words
// are read at fixed indices.
inline uint32_t Window(const uint32_t* exponent, size_t n, size_t position, unsigned w) {
  const size_t word = position / 32;
  const unsigned shift = position % 32;
  uint64_t bits = exponent[word];
  if (word + 1 < n) bits |= uint64_t{exponent[word + 1]} << 32;
  return static_cast<uint32_t>(bits >> shift) & ((1u << w) - 1);
}

// dst = entry `index` of `entries` tables of L limbs, reading every entry.
void Gather(uint64_t* dst, const uint64_t* table, size_t entries, size_t limbs, uint32_t index);

}  // namespace modexp_detail

}  // namespace orv
