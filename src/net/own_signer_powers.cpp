#include "net/own_signer_powers.hpp"

namespace orv {

std::shared_ptr<const SignerPowers> OwnSignerPowers::For(const Certificate& own) {
  std::lock_guard<std::mutex> lock(lock_);
  if (!powers_ || !powers_->Serves(own)) powers_ = MakeSignerPowers(own);
  return powers_;
}

}  // namespace orv
