// The comb table of the user's own signing key, kept by the endpoint: every
// handshake this side signs exponentiates by one shared table instead of
// building its own (the signature context is wiped after each handshake).
#pragma once

#include <memory>
#include <mutex>

#include "crypto/certificate.hpp"
#include "crypto/signer_powers.hpp"

namespace orv {

class OwnSignerPowers {
 public:
  // The table for the certificate: the kept one when it was built for it,
  // otherwise a new one, which is kept from then on. Callers that arrive
  // while it is being built wait for it rather than build their own.
  std::shared_ptr<const SignerPowers> For(const Certificate& own);

 private:
  std::mutex lock_;
  std::shared_ptr<const SignerPowers> powers_;  // guarded by lock_
};

}  // namespace orv
