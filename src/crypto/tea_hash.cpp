#include "crypto/tea_hash.hpp"

#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"
#include "crypto/xtea.hpp"

namespace orv {

void TeaHash64(uint32_t* h, const uint8_t* data, size_t length) {
  constexpr uint32_t kTweak = 0x6a551ee9u;
  uint32_t t = 0;
  uint8_t block[8];
  for (size_t offset = 0; offset < length; offset += 8) {
    size_t take = length - offset < 8 ? length - offset : 8;
    for (size_t i = 0; i < 8; ++i) block[i] = i < take ? data[offset + i] : 0;
    const uint32_t m0 = LoadLe32(block), m1 = LoadLe32(block + 4);
    const uint32_t u1 = (t * 31) ^ kTweak;
    const uint32_t u2 = (u1 * 31) ^ kTweak;
    t = u2;
    const uint32_t key[4] = {h[0], h[1], u1, u2};
    uint32_t e[2] = {m0, m1};
    Xtea66Encrypt(e, key);
    h[0] = e[0] ^ m0;
    h[1] = e[1] ^ m1;
  }
  // The data may be a secret (the private exponent of the key check value).
  if (length > 0) WipeBytes(block, sizeof block);
}

}  // namespace orv
