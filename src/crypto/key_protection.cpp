#include "crypto/key_protection.hpp"

#include <cstring>

#include "crypto/byte_order.hpp"
#include "crypto/idea.hpp"
#include "crypto/password_kdf.hpp"
#include "crypto/random_pool.hpp"
#include "crypto/tea_hash.hpp"
#include "crypto/wipe.hpp"
#include "crypto/xtea.hpp"

namespace orv {
namespace {

constexpr size_t kBlocks = kNumWords / 2;

void DeriveFromRecord(uint8_t* key, const KeyRecord& record, const uint8_t* password, size_t length) {
  PasswordKeyDerive(password, length, record.salt, key);
}

}  // namespace

void KeyBlockCipher(uint32_t* x, const uint8_t* password_key, bool decrypt) {
  const uint8_t* idea_key = password_key;
  uint32_t xtea_key[4];
  LeBytesToWords(xtea_key, password_key + 16, 4);
  uint64_t counter = LoadLe64(password_key + 32);
  for (size_t b = 0; b < kBlocks; ++b, ++counter) {
    uint32_t t[2] = {static_cast<uint32_t>(counter), static_cast<uint32_t>(counter >> 32)};
    IdeaBlockWords(t, idea_key);
    uint32_t* block = x + 2 * b;
    block[0] ^= t[0];
    block[1] ^= t[1];
    if (decrypt) {
      Xtea66Decrypt(block, xtea_key);
    } else {
      Xtea66Encrypt(block, xtea_key);
    }
    block[0] ^= t[0];
    block[1] ^= t[1];
    WipeWords(t, 2);
  }
  WipeWords(xtea_key, 4);
}

uint32_t PrivateKeyCheckValue(const uint32_t* x) {
  uint8_t bytes[4 * kNumWords];
  WordsToLeBytes(bytes, x, kNumWords);
  uint32_t h[2] = {0, 0};
  TeaHash64(h, bytes, sizeof bytes);
  WipeBytes(bytes, sizeof bytes);
  return h[0] + h[1];
}

void ProtectPrivateKey(KeyRecord& record, const uint32_t* x, const uint8_t* password, size_t length) {
  record.check = PrivateKeyCheckValue(x);
  uint32_t salt[8];
  RandomWords(salt, 8);
  WordsToLeBytes(record.salt, salt, 8);
  uint8_t key[kPasswordKeyBytes];
  DeriveFromRecord(key, record, password, length);
  std::memcpy(record.encrypted_x, x, sizeof record.encrypted_x);
  KeyBlockCipher(record.encrypted_x, key, false);
  WipeBytes(key, sizeof key);
  WipeAdvance();
}

int UnprotectPrivateKey(uint32_t* out, const KeyRecord& record, const uint8_t* password, size_t length) {
  uint8_t key[kPasswordKeyBytes];
  DeriveFromRecord(key, record, password, length);
  std::memcpy(out, record.encrypted_x, sizeof record.encrypted_x);
  KeyBlockCipher(out, key, true);
  std::memset(key, 0, sizeof key);
  asm volatile("" : : "r"(key) : "memory");
  return PrivateKeyCheckValue(out) == record.check ? 1 : 0;
}

int ChangePassword(KeyRecord& record, const uint8_t* old_password, size_t old_length, const uint8_t* new_password,
                   size_t new_length) {
  uint32_t x[kNumWords];
  const int ok = UnprotectPrivateKey(x, record, old_password, old_length);
  if (ok) ProtectPrivateKey(record, x, new_password, new_length);
  WipeWords(x, kNumWords);
  WipeAdvance();
  return ok;
}

int CheckPassword(const KeyRecord& record, const uint8_t* password, size_t length) {
  uint32_t x[kNumWords];
  const int ok = UnprotectPrivateKey(x, record, password, length);
  WipeWords(x, kNumWords);
  WipeAdvance();
  return ok;
}

void WipeKeyRecord(KeyRecord& record) {
  WipeWords(record.encrypted_x, kNumWords);
  WipeWords(&record.check, 1);
  WipeAdvance();
}

}  // namespace orv
