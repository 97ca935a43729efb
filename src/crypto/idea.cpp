#include "crypto/idea.hpp"

#include "crypto/byte_order.hpp"

namespace orv {
namespace {

constexpr int kSubkeys = 52;

// Multiplication modulo 65537, where the 16-bit value 0 stands for 65536.
inline uint32_t IdeaMul(uint32_t a, uint32_t b) {
  if (a == 0) return (1 - b) & 0xffff;
  if (b == 0) return (1 - a) & 0xffff;
  uint32_t p = a * b;
  uint32_t lo = p & 0xffff, hi = p >> 16;
  return (lo - hi + (lo < hi ? 1 : 0)) & 0xffff;
}

// 52 subkeys: the key's eight words, then the 128-bit key rotated left by
// 25 bits before every further group of eight.
void ExpandKey(const uint8_t* key, uint16_t* z) {
  for (int i = 0; i < 8; ++i) z[i] = static_cast<uint16_t>((key[2 * i] << 8) | key[2 * i + 1]);
  for (int i = 8; i < kSubkeys; ++i) {
    int a, b;
    if ((i & 7) == 6) {
      a = i - 7;
      b = i - 14;
    } else if ((i & 7) == 7) {
      a = i - 15;
      b = i - 14;
    } else {
      a = i - 7;
      b = i - 6;
    }
    z[i] = static_cast<uint16_t>((z[a] << 9) | (z[b] >> 7));
  }
}

void IdeaCrypt(uint32_t& x1, uint32_t& x2, uint32_t& x3, uint32_t& x4, const uint16_t* z) {
  for (int r = 0; r < 8; ++r, z += 6) {
    x1 = IdeaMul(x1, z[0]);
    x2 = (x2 + z[1]) & 0xffff;
    x3 = (x3 + z[2]) & 0xffff;
    x4 = IdeaMul(x4, z[3]);
    uint32_t t0 = IdeaMul(z[4], x1 ^ x3);
    uint32_t t1 = IdeaMul(z[5], (t0 + (x2 ^ x4)) & 0xffff);
    uint32_t t2 = (t0 + t1) & 0xffff;
    x1 ^= t1;
    x4 ^= t2;
    uint32_t a = x2 ^ t2;
    x2 = x3 ^ t1;
    x3 = a;
  }
  uint32_t y1 = IdeaMul(x1, z[0]);
  uint32_t y2 = (x3 + z[1]) & 0xffff;
  uint32_t y3 = (x2 + z[2]) & 0xffff;
  uint32_t y4 = IdeaMul(x4, z[3]);
  x1 = y1;
  x2 = y2;
  x3 = y3;
  x4 = y4;
}

}  // namespace

void IdeaBlock(uint8_t* block, const uint8_t* key) {
  uint16_t z[kSubkeys];
  ExpandKey(key, z);
  uint32_t x1 = (block[0] << 8) | block[1], x2 = (block[2] << 8) | block[3];
  uint32_t x3 = (block[4] << 8) | block[5], x4 = (block[6] << 8) | block[7];
  IdeaCrypt(x1, x2, x3, x4, z);
  const uint32_t out[4] = {x1, x2, x3, x4};
  for (int i = 0; i < 4; ++i) {
    block[2 * i] = static_cast<uint8_t>(out[i] >> 8);
    block[2 * i + 1] = static_cast<uint8_t>(out[i]);
  }
}

void IdeaBlockWords(uint32_t* block, const uint8_t* key) {
  uint8_t bytes[8];
  StoreLe32(bytes, block[0]);
  StoreLe32(bytes + 4, block[1]);
  IdeaBlock(bytes, key);
  block[0] = LoadLe32(bytes);
  block[1] = LoadLe32(bytes + 4);
}

}  // namespace orv
