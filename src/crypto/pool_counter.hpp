// The 128-bit counter update shared by the random pool and the keystream.
#pragma once

#include <cstdint>

namespace orv {

// With A = (w0 XOR 0xaa551ee1, w1, w2, w3), w0 least significant, the new
// counter is A * 0xFFFFFFFF mod 2^128 = (A << 32) - A, done word by word as a
// subtraction with borrow.
inline void PoolCounterStep(uint32_t* w) {
  const uint32_t a = w[0] ^ 0xaa551ee1u;
  const uint32_t shifted[4] = {0, a, w[1], w[2]};
  const uint32_t sub[4] = {a, w[1], w[2], w[3]};
  uint32_t borrow = 0;
  for (int i = 0; i < 4; ++i) {
    const uint64_t d = static_cast<uint64_t>(shifted[i]) - sub[i] - borrow;
    w[i] = static_cast<uint32_t>(d);
    borrow = static_cast<uint32_t>(d >> 63);
  }
}

}  // namespace orv
