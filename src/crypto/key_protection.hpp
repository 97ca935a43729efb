// The user's private exponent, kept only encrypted under a key derived from
// the password, with a 32-bit check value that tells a right password.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/certificate.hpp"

namespace orv {

struct KeyRecord {
  uint32_t encrypted_x[kNumWords] = {};    // x under KeyBlockCipher (64 blocks of 2 words)
  uint32_t check = 0;                      // h0 + h1 of TeaHash64 over the plain x
  uint8_t salt[32] = {};                   // new at every protection
  Certificate certificate;
  bool loaded = false;
};

// Counter-mode whitening around 66-cycle XTEA over the 64 blocks of x, under
// the 40-byte password key (IDEA key, XTEA key, starting counter).
void KeyBlockCipher(uint32_t* x, const uint8_t* password_key, bool decrypt);

// Encrypts x (128 words) into the record under the password, with a new salt.
void ProtectPrivateKey(KeyRecord& record, const uint32_t* x, const uint8_t* password, size_t length);

// Decrypts x into `out` (128 words). 1 if the password is right, else 0; the
// caller wipes `out` in either case.
int UnprotectPrivateKey(uint32_t* out, const KeyRecord& record, const uint8_t* password, size_t length);

// Re-protects x under a new password; 0 (record untouched) if the old one is wrong.
int ChangePassword(KeyRecord& record, const uint8_t* old_password, size_t old_length, const uint8_t* new_password,
                   size_t new_length);

int CheckPassword(const KeyRecord& record, const uint8_t* password, size_t length);

void WipeKeyRecord(KeyRecord& record);

// The check value of a plain x: h0 + h1 of TeaHash64 from (0, 0).
uint32_t PrivateKeyCheckValue(const uint32_t* x);

}  // namespace orv
