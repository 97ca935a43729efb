// Keys and the block cipher of the encrypted data files (the downloads
// record, the chat logs): a per-file key from the private exponent and a
// 32-byte per-file value, applied to 8-byte blocks tweaked by their index.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/key_protection.hpp"

namespace orv {

struct DataFileKey {
  // Word 0 valid flag; 1..2 counter base (low first); 3..6 IDEA key bytes;
  // 7..10 XTEA key.
  uint32_t words[11] = {};
  bool Valid() const { return words[0] == 1; }
};

// 1 on success; 0 if the password is wrong (the key is wiped and invalid).
int DeriveDataFileKey(DataFileKey& key, const uint8_t* file_value, const KeyRecord& record, const uint8_t* password,
                      size_t length);

void WipeDataFileKey(DataFileKey& key);

// Blocks of 8 bytes; block j has index first_index + j. Any block can be
// decrypted alone from its index.
void DataBlocksEncrypt(const DataFileKey& key, uint8_t* blocks, uint64_t first_index, size_t count);
void DataBlocksDecrypt(const DataFileKey& key, uint8_t* blocks, uint64_t first_index, size_t count);
void DataBlockDecryptOne(const DataFileKey& key, uint8_t* block, uint64_t index);

}  // namespace orv
