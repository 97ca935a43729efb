#include "crypto/data_file_key.hpp"

#include "crypto/block_hash.hpp"
#include "crypto/byte_order.hpp"
#include "crypto/idea.hpp"
#include "crypto/wipe.hpp"
#include "crypto/xtea.hpp"

namespace orv {
namespace {

constexpr size_t kFileValueBytes = 32;
constexpr size_t kHashWidth = 12;

void CryptBlock(const DataFileKey& key, uint8_t* block, uint64_t index, bool decrypt) {
  const uint64_t base = static_cast<uint64_t>(key.words[1]) | (static_cast<uint64_t>(key.words[2]) << 32);
  const uint64_t counter = base + index;
  uint8_t idea_key[16];
  WordsToLeBytes(idea_key, key.words + 3, 4);
  uint32_t t[2] = {static_cast<uint32_t>(counter), static_cast<uint32_t>(counter >> 32)};
  IdeaBlockWords(t, idea_key);
  uint32_t b[2] = {LoadLe32(block) ^ t[0], LoadLe32(block + 4) ^ t[1]};
  if (decrypt) {
    Xtea66Decrypt(b, key.words + 7);
  } else {
    Xtea66Encrypt(b, key.words + 7);
  }
  StoreLe32(block, b[0] ^ t[0]);
  StoreLe32(block + 4, b[1] ^ t[1]);
  WipeWords(b, 2);
  WipeWords(t, 2);
  WipeBytes(idea_key, sizeof idea_key);
}

}  // namespace

int DeriveDataFileKey(DataFileKey& key, const uint8_t* file_value, const KeyRecord& record, const uint8_t* password,
                      size_t length) {
  uint32_t x[kNumWords];
  if (!UnprotectPrivateKey(x, record, password, length)) {
    WipeWords(x, kNumWords);
    WipeDataFileKey(key);
    return 0;
  }
  uint32_t h[kHashWidth];
  {
    BlockHashContext ctx(kHashWidth);
    uint64_t walk = 0;
    BlockHashUpdate(ctx, h, file_value, kFileValueBytes, kFileValueBytes + 4 * kNumWords, &walk, true);
    BlockHashUpdateWords(ctx, h, x, kNumWords, 0, &walk, false);
  }
  for (size_t i = 0; i < 10; ++i) key.words[1 + i] = h[i];
  key.words[0] = 1;
  WipeWords(h, kHashWidth);
  WipeWords(x, kNumWords);
  WipeAdvance();
  return 1;
}

void WipeDataFileKey(DataFileKey& key) {
  key.words[0] = 0;
  WipeWords(key.words + 1, 10);
  WipeAdvance();
}

void DataBlocksEncrypt(const DataFileKey& key, uint8_t* blocks, uint64_t first_index, size_t count) {
  for (size_t j = 0; j < count; ++j) CryptBlock(key, blocks + 8 * j, first_index + j, false);
}

void DataBlocksDecrypt(const DataFileKey& key, uint8_t* blocks, uint64_t first_index, size_t count) {
  for (size_t j = 0; j < count; ++j) CryptBlock(key, blocks + 8 * j, first_index + j, true);
}

void DataBlockDecryptOne(const DataFileKey& key, uint8_t* block, uint64_t index) {
  CryptBlock(key, block, index, true);
}

}  // namespace orv
