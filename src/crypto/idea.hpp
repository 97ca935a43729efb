// IDEA block cipher, encryption direction only (every mode uses it one way).
#pragma once

#include <cstdint>

namespace orv {

// Encrypts 8 bytes in place. The block and the 16-byte key are read as
// big-endian 16-bit words; the key schedule is expanded at every call.
void IdeaBlock(uint8_t* block, const uint8_t* key);

// The same on a 64-bit block held as two words {y, z}, whose memory form is
// the little-endian bytes of y then z.
void IdeaBlockWords(uint32_t* block, const uint8_t* key);

}  // namespace orv
