// The cryptography of the three-message session handshake: an ephemeral
// Diffie-Hellman exchange in a group the initiator picks from the prime
// table, and mutual signatures over the transcript, sent under the new keys.
//
//   ses_request  (initiator -> responder): g | p | A                 1536 bytes
//   ses_response (responder -> initiator): B | sealed(cert | sig)   3600 bytes
//   ses_confirm  (initiator -> responder): sealed(cert | sig)       3088 bytes
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "crypto/bignum.hpp"
#include "crypto/block_hash.hpp"
#include "crypto/certificate.hpp"
#include "crypto/key_protection.hpp"
#include "crypto/packet_seal.hpp"
#include "crypto/public_key.hpp"
#include "crypto/secure_words.hpp"
#include "crypto/signer_powers.hpp"

namespace orv {

constexpr size_t kRequestBytes = 1536;
constexpr size_t kResponseBytes = 3600;
constexpr size_t kConfirmBytes = 3088;
constexpr size_t kIdentityBytes = kCertificateBytes + kSignatureBytes;  // 3072

// State shared by both roles: the group, the two public values, the
// transcript digest, the identity message buffer and the session keys.
struct HandshakeCommon {
  HandshakeCommon();
  ~HandshakeCommon();
  HandshakeCommon(const HandshakeCommon&) = delete;
  HandshakeCommon& operator=(const HandshakeCommon&) = delete;

  SecureWords exponent;    // a (initiator) or b (responder)
  SecureWords p, g;
  SecureWords a_value;     // A = g^a
  SecureWords b_value;     // B = g^b
  SecureWords digest;      // transcript digest D, 128 words
  SecureWords secret;      // K
  SecureWords output;      // value recovered from the peer's signature
  std::array<uint8_t, kIdentityBytes> message{};
  Certificate peer_certificate;
  Signature peer_signature;
  Signature own_signature;
  ModExpContext mod_exp;
  SignatureContext signature;
  BlockHashContext hash36{36};
  BlockHashContext hash128{128};
  SessionCipherState cipher;
  bool established = false;
  uint32_t key_block0[kKeyBlockWords] = {};
  uint32_t key_block1[kKeyBlockWords] = {};
};

struct HandshakeInitiator : HandshakeCommon {
  SecureWords generator_test{2 * kNumWords};  // scratch of the generator test
};

struct HandshakeResponder : HandshakeCommon {};

// True when the group (g, p) and the peer value V are acceptable: g and V
// not 0, 1 or 2; top bit of p set; p = 3 mod 4; g, V < p; g != V.
bool ValidateGroup(const uint32_t* g, const uint32_t* v, const uint32_t* p);

// Picks a new group and exponent; writes the ses_request body. Returns 1536.
size_t HandshakeStart(HandshakeInitiator& init, uint8_t* out);

// Gives a pending outgoing session its own copy of a, p, g, A and the flags.
HandshakeInitiator& HandshakeClone(HandshakeInitiator& dst, const HandshakeInitiator& src);

// Responder: answers a ses_request body. Returns 3600 or 0. own_powers,
// when built for the record's certificate, saves the signature its table.
size_t HandshakeOnRequest(HandshakeResponder& resp, uint8_t* out, const uint8_t* body, const KeyRecord& record,
                          const uint8_t* password, size_t length, const SignerPowers* own_powers = nullptr);

// Initiator: checks a ses_response body and writes the ses_confirm body.
// Returns 3088 or 0. own_powers as for HandshakeOnRequest.
size_t HandshakeOnResponse(HandshakeInitiator& init, uint8_t* out, const uint8_t* body, const KeyRecord& record,
                           const uint8_t* password, size_t length, const SignerPowers* own_powers = nullptr);

// Responder: checks a ses_confirm body. Returns 1 or 0.
int HandshakeOnConfirm(HandshakeResponder& resp, const uint8_t* body);

// Copies the session keys into dest when established (else resets dest);
// returns the established flag.
bool HandshakeExport(HandshakeCommon& ctx, SessionCipherState& dest);

// Wipes every buffer of the context; the established flag becomes 0.
void HandshakeClear(HandshakeCommon& ctx);

// Key blocks for both directions from the shared secret: block 0 protects
// initiator -> responder, block 1 responder -> initiator.
void SessionKeyExpand(BlockHashContext& hash36, const uint32_t* secret, uint32_t* key_block0, uint32_t* key_block1);

}  // namespace orv
