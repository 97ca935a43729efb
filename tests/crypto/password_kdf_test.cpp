#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <thread>

#include "crypto/password_kdf.hpp"

namespace orv {
namespace {

using Key = std::array<uint8_t, kPasswordKeyBytes>;
constexpr uint64_t kP = 0x7e012aab8b1f14f3ull;

Key Derive(const std::string& password, uint8_t salt_seed) {
  std::array<uint8_t, kSaltBytes> salt;
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(salt_seed + i * 13);
  Key key;
  PasswordKeyDerive(reinterpret_cast<const uint8_t*>(password.data()), password.size(), salt.data(), key.data());
  return key;
}

TEST(PasswordKeyDerive, RestoresItsTableAndRepeatsItsResult) {
  const Key first = Derive("correct horse", 1);
  EXPECT_TRUE(PasswordTableIsIdentity());
  EXPECT_EQ(Derive("correct horse", 1), first);
}

// Results pinned from the first implementation: any change to the
// derivation's arithmetic must leave every byte as it was.
TEST(PasswordKeyDerive, KnownResults) {
  struct Case {
    const char* password;
    uint8_t salt_seed;
    const char* hex;
  };
  const Case cases[] = {
      {"correct horse", 1, "7c1e7f0b3ee608f88ed49bee15ad0dc05b2c6cee78c9646648dc21139e89a87c44fea3f439b4bca9"},
      {"", 7, "f365cbe9d520cb22f20ed0a831d3d935c2677ebcdcc64d74bf266dddc3991c8bf5b30a2b2b5c0eae"},
      {"x", 200, "ee737acf7712b44feb3b48e2ef24298c4c4a9d3cd615955ec6d3bc27987626dccffde831a3def5d0"},
      {"a much longer password with more than forty bytes in it, ok", 33,
       "22c582198cd3f3286a8bb7ab6222bd7874fc6f1a8d6aef62d94ce5250099dcbf3a60ca9925bc8b7d"},
  };
  for (const Case& c : cases) {
    const Key key = Derive(c.password, c.salt_seed);
    std::string hex;
    for (uint8_t b : key) {
      static const char kDigits[] = "0123456789abcdef";
      hex += kDigits[b >> 4];
      hex += kDigits[b & 15];
    }
    EXPECT_EQ(hex, c.hex) << c.password;
  }
}

TEST(PasswordKeyDerive, DependsOnPasswordAndSalt) {
  const Key base = Derive("secret", 1);
  EXPECT_NE(Derive("secret", 2), base);
  EXPECT_NE(Derive("secres", 1), base);
  EXPECT_NE(Derive("secret!", 1), base);
  // An empty password reads its terminating zero at every turn.
  EXPECT_EQ(Derive("", 1), Derive(std::string(1, '\0'), 1));
  EXPECT_NE(Derive("", 1), base);
}

TEST(PasswordKeyDerive, ConcurrentDerivationsWaitForEachOther) {
  const Key expected_a = Derive("alpha", 5), expected_b = Derive("beta", 6);
  Key a{}, b{};
  std::thread ta([&] { a = Derive("alpha", 5); });
  std::thread tb([&] { b = Derive("beta", 6); });
  ta.join();
  tb.join();
  EXPECT_EQ(a, expected_a);
  EXPECT_EQ(b, expected_b);
  EXPECT_TRUE(PasswordTableIsIdentity());
}

TEST(PasswordKeyInverse, EdgesAndProducts) {
  EXPECT_EQ(PasswordKeyInverse(0), kP);
  EXPECT_EQ(PasswordKeyInverse(kP), 0u);
  EXPECT_EQ(PasswordKeyInverse(1), 1u);
  EXPECT_EQ(PasswordKeyInverse(kP + 1), 1u);
  __extension__ typedef unsigned __int128 u128;
  for (uint64_t v : {uint64_t{2}, uint64_t{3}, uint64_t{0xffffffff}, kP - 1, uint64_t{0x123456789abcdef}, ~uint64_t{0}}) {
    const uint64_t inv = PasswordKeyInverse(v);
    EXPECT_LT(inv, kP);
    EXPECT_EQ(static_cast<uint64_t>(static_cast<u128>(v % kP) * inv % kP), 1u) << v;
  }
}

}  // namespace
}  // namespace orv
