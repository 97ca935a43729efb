// The public half of a user's key pair (certificate) and signatures, with
// their in-memory byte form (words little-endian, sent in handshakes) and
// the certificate's file form (words big-endian, kept in the key file).
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

constexpr size_t kUserIdWords = 8;
constexpr size_t kNumWords = 128;                 // one 4096-bit value
constexpr size_t kCertificateInfoBytes = 446;     // up to 223 UTF-16 characters
constexpr size_t kCertificateBytes = 2016;
constexpr size_t kSignatureBytes = 1056;

struct Certificate {
  uint16_t info_length = 0;                       // bytes of info in use, 0..446
  uint8_t info[kCertificateInfoBytes] = {};       // UTF-16LE text, zero-filled
  uint32_t user_id[kUserIdWords] = {};
  uint32_t p[kNumWords] = {};                     // modulus, a safe prime
  uint32_t g[kNumWords] = {};                     // generator
  uint32_t y[kNumWords] = {};                     // public value g^x mod p
};

struct Signature {
  uint32_t user_id[kUserIdWords] = {};            // the signer's
  uint32_t e[kNumWords] = {};
  uint32_t s[kNumWords] = {};
};

// Clears the info and copies min(length, 446) bytes of it.
void SetCertificateInfo(Certificate& cert, const uint8_t* info, size_t length);

// 1 if the certificate passes the structural checks (fingerprint, info
// padding, 2 < g < p, 2 < y < p, g != y, top bit of p set, p = 3 mod 4).
int CheckCertificate(const Certificate& cert);

// File form: every field big-endian. Both return 2016.
size_t CertificateToFileForm(uint8_t* out, const Certificate& cert);
size_t CertificateFromFileForm(Certificate& cert, const uint8_t* in);

// In-memory form: every field little-endian. Both return the byte count.
size_t CertificateToBytes(uint8_t* out, const Certificate& cert);
size_t CertificateFromBytes(Certificate& cert, const uint8_t* in);
size_t SignatureToBytes(uint8_t* out, const Signature& sig);
size_t SignatureFromBytes(Signature& sig, const uint8_t* in);

void WipeCertificate(Certificate& cert);
void WipeSignature(Signature& sig);

}  // namespace orv
