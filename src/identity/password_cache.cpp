#include "identity/password_cache.hpp"

#include <cstring>

#include "crypto/wipe.hpp"

namespace orv {

void CachePassword(PasswordCache& cache, const uint8_t* bytes, size_t n, uint32_t minutes) {
  if (n > PasswordCache::kCapacity - 1) n = PasswordCache::kCapacity - 1;
  cache.countdown = minutes;
  cache.length = static_cast<uint32_t>(n);
  cache.held = true;
  WipeBytes(cache.mask, n);
  for (size_t i = 0; i < n; ++i) cache.masked[i] = bytes[i] ^ cache.mask[i];
}

size_t UnmaskPassword(const PasswordCache& cache, uint8_t* out) {
  for (size_t i = 0; i < cache.length; ++i) out[i] = cache.masked[i] ^ cache.mask[i];
  return cache.length;
}

void RemaskPassword(PasswordCache& cache) {
  uint8_t fresh[PasswordCache::kCapacity];
  WipeBytes(fresh, cache.length);
  for (size_t i = 0; i < cache.length; ++i) {
    cache.masked[i] = static_cast<uint8_t>(cache.masked[i] ^ cache.mask[i] ^ fresh[i]);
    cache.mask[i] = fresh[i];
  }
  WipeBytes(fresh, sizeof fresh);
}

void ForgetPassword(PasswordCache& cache) {
  std::memset(cache.masked, 0, sizeof cache.masked);
  std::memset(cache.mask, 0, sizeof cache.mask);
  asm volatile("" : : "r"(cache.masked), "r"(cache.mask) : "memory");
  cache.length = 0;
  cache.held = false;
}

bool PasswordCacheTick(PasswordCache& cache, uint32_t minutes) {
  if (cache.countdown != 0) {
    --cache.countdown;
  } else if (cache.held && minutes != 0) {
    ForgetPassword(cache);
    return true;
  }
  RemaskPassword(cache);
  return false;
}

}  // namespace orv
