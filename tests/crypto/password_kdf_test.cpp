#include <gtest/gtest.h>

#include <array>
#include <cstdint>
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
