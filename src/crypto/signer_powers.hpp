// The comb table of g^-1 mod p for one signer's certificate, built once and
// then only read: every signature that certificate makes can exponentiate
// by it, from any thread, without building it again. It holds public values
// only (powers of the certificate's generator).
#pragma once

#include <cstdint>
#include <memory>

#include "crypto/bignum.hpp"
#include "crypto/certificate.hpp"
#include "crypto/fixed_base.hpp"
#include "crypto/montgomery.hpp"

namespace orv {

class SignerPowers {
 public:
  explicit SignerPowers(const Certificate& signer);
  SignerPowers(const SignerPowers&) = delete;
  SignerPowers& operator=(const SignerPowers&) = delete;

  // True when the table was built for this certificate's g and p.
  bool Serves(const Certificate& signer) const;

  // result = g^-exponent mod p; mont is the caller's, and is set up for p
  // here. scratch holds 2 * Limbs() limbs, wiped by the caller.
  void Power(MontgomeryContext& mont, uint32_t* result, const uint32_t* exponent, uint64_t* scratch) const;
  size_t Limbs() const { return table_.Limbs(); }

 private:
  uint32_t user_id_[kUserIdWords] = {};
  uint32_t p_[kNumWords] = {};
  uint32_t g_[kNumWords] = {};
  FixedBaseTable table_{kNumWords};
};

// A table for the certificate (built here, about one exponentiation's work).
std::shared_ptr<const SignerPowers> MakeSignerPowers(const Certificate& signer);

}  // namespace orv
