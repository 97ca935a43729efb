#include "crypto/signer_powers.hpp"

#include <cstring>

#include "crypto/mod_inverse.hpp"
#include "crypto/secure_words.hpp"

namespace orv {

SignerPowers::SignerPowers(const Certificate& signer) {
  std::memcpy(user_id_, signer.user_id, sizeof user_id_);
  std::memcpy(p_, signer.p, sizeof p_);
  std::memcpy(g_, signer.g, sizeof g_);
  InverseContext inverse(kNumWords);
  SecureWords g_inverse(kNumWords);
  ModInverse(inverse, g_inverse.data(), signer.g, signer.p);
  MontgomeryContext mont(kNumWords);
  table_.Build(mont, g_inverse.data(), signer.p);
}

bool SignerPowers::Serves(const Certificate& signer) const {
  return std::memcmp(user_id_, signer.user_id, sizeof user_id_) == 0 && std::memcmp(p_, signer.p, sizeof p_) == 0 &&
         std::memcmp(g_, signer.g, sizeof g_) == 0;
}

void SignerPowers::Power(MontgomeryContext& mont, uint32_t* result, const uint32_t* exponent,
                         uint64_t* scratch) const {
  mont.Setup(p_);
  table_.Power(mont, result, exponent, scratch);
}

std::shared_ptr<const SignerPowers> MakeSignerPowers(const Certificate& signer) {
  return std::make_shared<const SignerPowers>(signer);
}

}  // namespace orv
