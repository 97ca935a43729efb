#include "crypto/xtea.hpp"

namespace orv {
namespace {

constexpr int kXteaCycles = 66;
constexpr uint32_t kXteaDecryptSum = 0xca4d61b2u;  // 66 * delta mod 2^32

inline uint32_t XteaF(uint32_t v) { return ((v << 4) ^ (v >> 5)) + v; }

}  // namespace

void Xtea66Encrypt(uint32_t* block, const uint32_t* key) {
  uint32_t y = block[0], z = block[1], sum = 0;
  for (int i = 0; i < kXteaCycles; ++i) {
    y += XteaF(z) ^ (sum + key[sum & 3]);
    sum += kTeaDelta;
    z += XteaF(y) ^ (sum + key[(sum >> 11) & 3]);
  }
  block[0] = y;
  block[1] = z;
}

void Xtea66Decrypt(uint32_t* block, const uint32_t* key) {
  uint32_t y = block[0], z = block[1], sum = kXteaDecryptSum;
  for (int i = 0; i < kXteaCycles; ++i) {
    z -= XteaF(y) ^ (sum + key[(sum >> 11) & 3]);
    sum -= kTeaDelta;
    y -= XteaF(z) ^ (sum + key[sum & 3]);
  }
  block[0] = y;
  block[1] = z;
}

void XxteaMix(uint32_t* v, size_t n, const uint32_t* key, unsigned cycles) {
  auto mx = [key](uint32_t y, uint32_t z, uint32_t sum, size_t p, uint32_t e) {
    return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z));
  };
  uint32_t z = v[n - 1], sum = 0;
  for (unsigned c = 0; c < cycles; ++c) {
    sum += kTeaDelta;
    uint32_t e = (sum >> 2) & 3;
    for (size_t p = 0; p + 1 < n; ++p) {
      uint32_t y = v[p + 1];
      v[p] += mx(y, z, sum, p, e);
      z = v[p];
    }
    v[n - 1] += mx(v[0], z, sum, n - 1, e);
    z = v[n - 1];
  }
}

}  // namespace orv
