#include "crypto/wipe.hpp"

#include <gtest/gtest.h>

#include <array>

namespace orv {
namespace {

TEST(WipeGenerator, FirstStepFromZero) {
  SetWipeState(0);
  uint32_t word = WipeStep();
  EXPECT_EQ(WipeState(), 0x71e86a1cd2d0e1dbull);
  EXPECT_EQ(word, 0x71e86a1cu ^ 0xd2d0e1dbu);
}

TEST(WipeGenerator, BytesAndWordsFollowTheSameSequence) {
  SetWipeState(12345);
  std::array<uint32_t, 5> words{};
  WipeWords(words.data(), words.size());
  SetWipeState(12345);
  std::array<uint8_t, 5> bytes{};
  WipeBytes(bytes.data(), bytes.size());
  for (size_t i = 0; i < words.size(); ++i) EXPECT_EQ(bytes[i], static_cast<uint8_t>(words[i]));
}

TEST(WipeGenerator, AdvanceSteps256Times) {
  SetWipeState(7);
  uint64_t x = 7;
  for (int i = 0; i < 256; ++i) x = WipeNext(x);
  WipeAdvance();
  EXPECT_EQ(WipeState(), x);
}

}  // namespace
}  // namespace orv
