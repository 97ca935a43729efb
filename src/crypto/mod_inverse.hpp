// Modular inverse by the extended Euclidean algorithm on signed values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/secure_words.hpp"

namespace orv {

class InverseContext {
 public:
  // A context for values of v words (worked on in rows of 2v words).
  explicit InverseContext(size_t v);
  ~InverseContext() { Clear(); }
  InverseContext(InverseContext&&) noexcept = default;
  InverseContext& operator=(InverseContext&&) noexcept = default;
  InverseContext(const InverseContext&) = delete;
  InverseContext& operator=(const InverseContext&) = delete;

  // Overwrites every buffer with wipe generator output.
  void Clear();

  size_t Width() const { return v_; }

 private:
  friend int ModInverse(InverseContext& c, uint32_t* result, const uint32_t* a,
                        const uint32_t* modulus);

  size_t v_ = 0;
  // Three rows of (r, s, t), then the quotient (2v), the product (4v) and
  // the scratch of the signed operations.
  SecureWords words_;
};

// result (v words) = a^-1 mod modulus for a and modulus of v words. Returns
// 1 when gcd(a, modulus) = 1, else 0 (result then holds the coefficient the
// algorithm ended with). result may alias a or modulus.
int ModInverse(InverseContext& c, uint32_t* result, const uint32_t* a, const uint32_t* modulus);

}  // namespace orv
