// Modular exponentiation with Montgomery multiplication, for odd moduli of
// n words. The context keeps the setup of the last modulus it saw (m', mu)
// so that repeated exponentiations modulo the same number skip it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/barrett.hpp"
#include "crypto/karatsuba.hpp"
#include "crypto/mod_inverse.hpp"
#include "crypto/secure_words.hpp"

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

  size_t Width() const { return n_; }

 private:
  // Where each value lives in words_; sizes in words.
  struct Layout {
    size_t modulus;      // cached modulus m, n
    size_t m_prime;      // -m^-1 mod 2^32n, n
    size_t accumulator;  // n
    size_t square;       // the repeatedly squared base, n
    size_t one;          // the value 1, n
    size_t difference;   // w_high - m, n
    size_t t;            // a * b, then w = t + v, 2n
    size_t u;            // (t mod R) * m', 2n
    size_t v;            // u * m, 2n
    size_t dividend;     // 2^32n for R mod m, 2n
    size_t divisor;      // m for R mod m, 2n
    size_t quotient;     // 2n
    size_t remainder;    // R mod m, 2n
    size_t inverse_a;    // m as n + 1 words
    size_t inverse_n;    // 2^32n as n + 1 words
    size_t inverse_out;  // m^-1 mod 2^32n, n + 1
    size_t total;
  };

  static Layout MakeLayout(size_t n);

  friend void MontgomerySetup(ModExpContext& c, const uint32_t* modulus);
  friend void MontgomeryMultiply(ModExpContext& c, uint32_t* result, const uint32_t* a,
                                 const uint32_t* b);
  friend void ModExp(ModExpContext& c, uint32_t* result, const uint32_t* base,
                     const uint32_t* exponent, const uint32_t* modulus);

  uint32_t* At(size_t offset) { return words_.data() + offset; }
  void ComputeMPrime();                   // m' from the cached modulus
  void StartAccumulator();                // accumulator = R mod m
  void StartSquare(const uint32_t* base);  // square = base R mod m

  size_t n_ = 0;
  bool cached_ = false;
  Layout layout_{};
  SecureWords words_;
  KaratsubaChain chain_;    // n words
  BarrettContext barrett_;  // n words
  InverseContext inverse_;  // values of n + 1 words
};

// Makes m (odd, n words) the context's modulus: when it equals the cached
// one nothing is done, otherwise m is cached and mu and m' are computed.
void MontgomerySetup(ModExpContext& c, const uint32_t* modulus);

// result = a * b * 2^-32n mod m for a, b < m, with m set by MontgomerySetup
// or ModExp. result may alias a or b.
void MontgomeryMultiply(ModExpContext& c, uint32_t* result, const uint32_t* a, const uint32_t* b);

// result = base^exponent mod m for odd m, base < m and an exponent of n
// words; always 32n squarings plus one multiplication per set exponent bit.
// result may alias any input.
void ModExp(ModExpContext& c, uint32_t* result, const uint32_t* base, const uint32_t* exponent,
            const uint32_t* modulus);

}  // namespace orv
