#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>
#include <string>

#include "identity/password_cache.hpp"

namespace orv {
namespace {

std::string Held(const PasswordCache& cache) {
  uint8_t out[PasswordCache::kCapacity];
  const size_t n = UnmaskPassword(cache, out);
  return std::string(reinterpret_cast<const char*>(out), n);
}

TEST(PasswordCache, HeldMaskedAndRemasked) {
  PasswordCache cache;
  const std::string pw = "s3cret password";
  CachePassword(cache, reinterpret_cast<const uint8_t*>(pw.data()), pw.size(), 0);
  EXPECT_EQ(Held(cache), pw);
  EXPECT_EQ(std::search(cache.masked, cache.masked + sizeof cache.masked, pw.begin(), pw.end()),
            cache.masked + sizeof cache.masked);
  const std::vector<uint8_t> before(cache.masked, cache.masked + pw.size());
  RemaskPassword(cache);
  EXPECT_NE(std::vector<uint8_t>(cache.masked, cache.masked + pw.size()), before);
  EXPECT_EQ(Held(cache), pw);
}

TEST(PasswordCache, TimeSettingDecidesWhenItIsForgotten) {
  for (uint32_t minutes : {0u, 1u, 2u, 5u}) {
    PasswordCache cache;
    CachePassword(cache, reinterpret_cast<const uint8_t*>("pw"), 2, minutes);
    int cleared_at = 0;
    for (int tick = 1; tick <= 10 && cleared_at == 0; ++tick)
      if (PasswordCacheTick(cache, minutes)) cleared_at = tick;
    if (minutes == 0) {
      EXPECT_EQ(cleared_at, 0);
      EXPECT_EQ(Held(cache), "pw");
    } else {
      EXPECT_EQ(cleared_at, static_cast<int>(minutes) + 1);
      EXPECT_EQ(cache.length, 0u);
    }
  }
}

TEST(PasswordCache, LongPasswordIsCutTo127Bytes) {
  PasswordCache cache;
  const std::string pw(200, 'x');
  CachePassword(cache, reinterpret_cast<const uint8_t*>(pw.data()), pw.size(), 0);
  EXPECT_EQ(Held(cache), std::string(127, 'x'));
}

}  // namespace
}  // namespace orv
