// The password held in memory for a while, never in the clear: its bytes
// are kept XOR a mask drawn from the wipe generator and re-masked every
// minute. The owner guards it with the application lock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

struct PasswordCache {
  static constexpr size_t kCapacity = 128;
  uint8_t masked[kCapacity] = {};
  uint8_t mask[kCapacity] = {};
  uint32_t length = 0;     // bytes held (an old key may have an empty password)
  bool held = false;       // a password is held, perhaps an empty one
  uint32_t countdown = 0;  // minutes left before it may be forgotten
};

// Holds `n` bytes (at most 127) for `minutes` (the Time setting).
void CachePassword(PasswordCache& cache, const uint8_t* bytes, size_t n, uint32_t minutes);

// Writes the held password into out (at least 128 bytes); returns its length,
// 0 when none (or an empty one) is held: `held` tells the two apart.
size_t UnmaskPassword(const PasswordCache& cache, uint8_t* out);

// A fresh mask over the held password.
void RemaskPassword(PasswordCache& cache);

// Forgets the password (both arrays zeroed, length 0, not held).
void ForgetPassword(PasswordCache& cache);

// One minute of the password timer. With `minutes` (Time) above 0, a held
// password is forgotten at the (Time+1)-th tick after it was cached; returns
// true exactly then. Otherwise counts down and re-masks.
bool PasswordCacheTick(PasswordCache& cache, uint32_t minutes);

}  // namespace orv
