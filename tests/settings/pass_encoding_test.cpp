#include "settings/pass_encoding.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

TEST(PassEncoding, ThePasswordAbcIsStoredAs637343) {
  EXPECT_EQ(EncodePass(PasswordBytes("abc")), "637343");
  PasswordBytes back;
  ASSERT_TRUE(DecodePass("637343", back));
  EXPECT_EQ(back, PasswordBytes("abc"));
}

TEST(PassEncoding, MaskOfPair16WrapsToHex10) {
  // 17 pairs: pair 16 holds the first byte, masked with 17*16 mod 256 = 0x10.
  const PasswordBytes password("#bcdefghijklmnopq");
  const std::string text = EncodePass(password);
  ASSERT_EQ(text.size(), 34u);
  EXPECT_EQ(text.substr(32, 2), "33");  // '#' = 0x23, 0x23 ^ 0x10 = 0x33
  EXPECT_EQ(text.substr(0, 2), "71");   // pair 0 is the last byte 'q' unmasked
}

TEST(PassEncoding, EveryByteValueAndTheLongestPasswordRoundTrip) {
  uint8_t bytes[PasswordBytes::kMaxLength];
  for (unsigned start : {0u, 127u, 129u}) {
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(start + i);
    const PasswordBytes password(bytes, sizeof bytes);
    PasswordBytes back;
    ASSERT_TRUE(DecodePass(EncodePass(password), back)) << start;
    EXPECT_EQ(back, password) << start;
  }
}

TEST(PassEncoding, DecodingOddOrBadText) {
  struct Case {
    std::string text;
    bool ok;
    std::string bytes;
  } cases[] = {
      {"6373434", true, "abc"},                  // an odd last digit is ignored
      {"637343", true, "abc"},
      {"63g343", false, ""},                     // not a hex digit
      {"63 343", false, ""},
      {"", true, ""},
      {std::string(254, '0'), true, ""},         // 127 bytes: the most a password holds
      {std::string(256, '0'), false, ""},        // 128 bytes would overrun the password buffer
      {std::string(265, '0'), false, ""},
  };
  for (const Case& c : cases) {
    PasswordBytes out("left over");
    EXPECT_EQ(DecodePass(c.text, out), c.ok) << c.text;
    if (c.text.size() == 254) {
      EXPECT_EQ(out.size(), 127u);
    } else {
      EXPECT_EQ(out, PasswordBytes(c.bytes)) << c.text;
    }
  }
}

TEST(PasswordBytes, CutsAt127BytesAndWipesWhenMovedFrom) {
  const std::string long_text(200, 'x');
  PasswordBytes a(long_text);
  EXPECT_EQ(a.size(), 127u);
  PasswordBytes b(std::move(a));
  EXPECT_EQ(b.size(), 127u);
  EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): the moved-from password is cleared
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data()), b.size()), long_text.substr(0, 127));
}

}  // namespace
}  // namespace orv
