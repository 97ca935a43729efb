// TEA-family ciphers: XTEA run for 66 cycles on one 64-bit block, and XXTEA
// (corrected block TEA) over a run of words with a caller-given cycle count.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

constexpr uint32_t kTeaDelta = 0x9E3779B9u;

// block = {y, z}; key = 4 words.
void Xtea66Encrypt(uint32_t* block, const uint32_t* key);
void Xtea66Decrypt(uint32_t* block, const uint32_t* key);

// XXTEA encryption of n >= 2 words in place with `cycles` cycles.
void XxteaMix(uint32_t* v, size_t n, const uint32_t* key, unsigned cycles);

}  // namespace orv
