// Barrett reduction modulo a fixed modulus m of n words: x mod m for x of
// 2n words below m^2, by way of the precomputed mu = floor(2^2k / m), where
// k is the bit length of m.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/karatsuba.hpp"
#include "crypto/secure_words.hpp"

namespace orv {

class BarrettContext {
 public:
  // A context for moduli of n words; n is a power of two.
  explicit BarrettContext(size_t n);
  ~BarrettContext() { Clear(); }
  BarrettContext(BarrettContext&&) noexcept = default;
  BarrettContext& operator=(BarrettContext&&) noexcept = default;
  BarrettContext(const BarrettContext&) = delete;
  BarrettContext& operator=(const BarrettContext&) = delete;

  // Overwrites every buffer (modulus and mu included) with wipe generator
  // output; a new BarrettSetup is needed before the next reduction.
  void Clear();

  size_t Width() const { return n_; }

 private:
  // Where each value lives in words_; sizes in words.
  struct Layout {
    size_t modulus;    // m zero-extended, 2n
    size_t mu;         // floor(2^2k / m), 2n
    size_t product;    // x * mu, then q * m, 4n
    size_t remainder;  // x - q * m, 2n
    size_t dividend;   // 2^2k during setup, 2n + 1
    size_t divisor;    // m during setup, 2n + 1
    size_t quotient;   // 2n + 1
    size_t rest;       // remainder of the setup division, 2n + 1
    size_t total;
  };

  static Layout MakeLayout(size_t n);

  friend void BarrettSetup(BarrettContext& c, const uint32_t* modulus);
  friend void BarrettReduce(BarrettContext& c, uint32_t* result, const uint32_t* x);

  size_t n_ = 0;
  unsigned two_k_ = 0;  // twice the bit length of m
  Layout layout_{};
  SecureWords words_;
  KaratsubaChain chain_;  // 2n words
};

// Stores m (n words, not 0) and computes mu and 2k.
void BarrettSetup(BarrettContext& c, const uint32_t* modulus);

// result (n words) = x mod m for x (2n words) < m^2. It computes
// q = (x * mu) >> 2k and r = x - q * m, then subtracts m once if r >= m;
// result may alias x.
void BarrettReduce(BarrettContext& c, uint32_t* result, const uint32_t* x);

}  // namespace orv
