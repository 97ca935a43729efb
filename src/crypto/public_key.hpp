// Discrete-logarithm key pairs over 4096-bit safe primes and message-recovery
// signatures: verification yields the signed value, which the caller compares
// with the digest it expects.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/bignum.hpp"
#include "crypto/certificate.hpp"
#include "crypto/fixed_base.hpp"
#include "crypto/key_protection.hpp"
#include "crypto/montgomery.hpp"
#include "crypto/secure_limbs.hpp"
#include "crypto/secure_words.hpp"
#include "crypto/signer_powers.hpp"

namespace orv {

// Owned by one signer or verifier (not shared between threads). Caches
// g^-1 mod p for the last signing certificate, with the comb table of its
// powers that signing exponentiates by, and the Montgomery set-up for the
// last moduli.
struct SignatureContext {
  SignatureContext();
  ~SignatureContext();
  SignatureContext(const SignatureContext&) = delete;
  SignatureContext& operator=(const SignatureContext&) = delete;

  ModExpContext mod_exp;           // modulo p
  MontgomeryContext mod_q;         // modulo q = (p - 1) / 2
  InverseContext inverse;
  SecureWords g_inverse;           // g^-1 mod p of the cached signer
  FixedBaseTable g_inverse_table;  // powers of g^-1 for signing
  uint32_t cached_id[kUserIdWords] = {};
  bool inverse_cached = false;
  SecureWords q, k, t, product, quotient, dividend, divisor;  // scratch
  SecureLimbs comb_scratch;  // working values of a shared table's power
};

// Wipes every buffer and cache of the context.
void ClearSignatureContext(SignatureContext& ctx);

// A new key pair on the modulus p: g a random square, x a random exponent of
// at most 4094 bits, y = g^x; the certificate's user id is its fingerprint.
void GenerateUserKey(SignatureContext& ctx, Certificate& cert, uint32_t* x, const uint32_t* p, const uint8_t* info,
                     size_t info_length);

// Signs the 128-word digest (its top word is reduced below 2^30 in place).
// With powers built for the signer's certificate, the nonce's power comes
// from that shared table, and the context's own cache stays untouched; the
// signature is the same either way.
void Sign(SignatureContext& ctx, Signature& sig, uint32_t* digest, const Certificate& signer, const uint32_t* x,
          const SignerPowers* powers = nullptr);

// The value the signature recovers under the signer's certificate.
void Verify(SignatureContext& ctx, uint32_t* output, const Signature& sig, const Certificate& signer);

// Sign with the private exponent unprotected by the password; 0 if wrong.
int SignWithPassword(SignatureContext& ctx, Signature& sig, uint32_t* digest, const Certificate& signer,
                     const KeyRecord& record, const uint8_t* password, size_t length,
                     const SignerPowers* powers = nullptr);

// Signature over data under the record's certificate; 0 if the password is wrong.
int SignData(Signature& sig, const KeyRecord& record, const uint8_t* password, size_t length, const uint8_t* data,
             size_t data_length);

// 0 valid, 1 certificate rejected, 2 signer differs from the certificate's
// user id, 3 signature does not match the data.
int VerifyData(const Signature& sig, const Certificate& cert, const uint8_t* data, size_t data_length);

// The digest that data signatures sign: width-128 hash, top word below 2^30.
void SignedDataDigest(uint32_t* digest, const uint8_t* data, size_t length);

}  // namespace orv
