#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>
#include <vector>

#include "crypto/pool_counter.hpp"
#include "crypto/random_pool.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

TEST(PoolCounterStep, MultipliesByAllOnesAfterTheMask) {
  uint32_t zero[4] = {0xaa551ee1u, 0, 0, 0};
  PoolCounterStep(zero);
  for (uint32_t w : zero) EXPECT_EQ(w, 0u);

  __extension__ typedef unsigned __int128 u128;
  const uint32_t start[4] = {0x01234567u, 0x89abcdefu, 0xfedcba98u, 0x76543210u};
  u128 a = 0;
  for (int i = 3; i >= 0; --i) a = (a << 32) | (i == 0 ? start[0] ^ 0xaa551ee1u : start[i]);
  const u128 expected = a * 0xFFFFFFFFu;
  uint32_t w[4] = {start[0], start[1], start[2], start[3]};
  PoolCounterStep(w);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w[i], static_cast<uint32_t>(expected >> (32 * i))) << i;
}

TEST(RandomStir, RoundCounts) {
  const std::pair<uint32_t, uint32_t> cases[] = {{1, 20}, {8, 20}, {1024, 20}, {1025, 21}, {2048, 40}, {32768, 640}};
  for (auto [length, rounds] : cases) EXPECT_EQ(RandomStirRounds(length), rounds) << length;
}

TEST(RandomStir, ShortInputRepeatsAcrossBlocks) {
  const uint8_t data[3] = {'a', 'b', 'c'};
  uint32_t position = 0;
  std::array<uint8_t, kPoolBytes> block;
  RandomStirFillBlock(block.data(), data, 3, &position);
  for (size_t i = 0; i < block.size(); ++i) ASSERT_EQ(block[i], data[i % 3]) << i;
  // 1024 = 341 * 3 + 1: the second block starts with the byte after the 'a'.
  RandomStirFillBlock(block.data(), data, 3, &position);
  EXPECT_EQ(block[0], 'b');
  EXPECT_EQ(block[1], 'c');
  EXPECT_EQ(block[2], 'a');
}

TEST(RandomStir, LongInputIsConsumedThenWraps) {
  std::vector<uint8_t> data(1500);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
  uint32_t position = 0;
  std::array<uint8_t, kPoolBytes> block;
  RandomStirFillBlock(block.data(), data.data(), 1500, &position);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), data.begin()));
  RandomStirFillBlock(block.data(), data.data(), 1500, &position);
  EXPECT_TRUE(std::equal(block.begin(), block.begin() + 476, data.begin() + 1024));
  EXPECT_TRUE(std::equal(block.begin() + 476, block.end(), data.begin()));
  EXPECT_EQ(position, 548u);
}

TEST(RandomStir, ChangesThePool) {
  std::array<uint8_t, kPoolBytes> before, after;
  RandomPoolSnapshot(before.data());
  const uint8_t sample[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  RandomStir(sample, sizeof sample);
  RandomPoolSnapshot(after.data());
  EXPECT_NE(before, after);
}

TEST(RandomWords, CountZeroWritesNothingOddCountFillsTheLastWord) {
  uint32_t sentinel[3] = {0xdeadbeef, 0xdeadbeef, 0xdeadbeef};
  RandomWords(sentinel, 0);
  for (uint32_t w : sentinel) EXPECT_EQ(w, 0xdeadbeefu);
  std::array<uint8_t, kPoolBytes> before, after;
  RandomPoolSnapshot(before.data());
  RandomWords(sentinel, 0);
  RandomPoolSnapshot(after.data());
  EXPECT_NE(before, after);  // reseeded even for no output

  std::vector<uint32_t> words(129, 0);
  RandomWords(words.data(), 129);
  std::set<uint32_t> distinct(words.begin(), words.end());
  EXPECT_GT(distinct.size(), 120u);
}

TEST(RandomPool, ConcurrentStirsAndDrawsLoseNothing) {
  constexpr int kRounds = 50;
  std::vector<uint32_t> a(kRounds * 4), b(kRounds * 4);
  auto worker = [](std::vector<uint32_t>& out, uint8_t tag) {
    for (int i = 0; i < kRounds; ++i) {
      uint8_t sample[8] = {tag, static_cast<uint8_t>(i)};
      RandomStir(sample, sizeof sample);
      RandomWords(out.data() + 4 * i, 4);
    }
  };
  std::thread ta(worker, std::ref(a), uint8_t{1});
  std::thread tb(worker, std::ref(b), uint8_t{2});
  ta.join();
  tb.join();
  std::set<uint32_t> all(a.begin(), a.end());
  all.insert(b.begin(), b.end());
  EXPECT_EQ(all.size(), a.size() + b.size());
}

class SeedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("orv-seed-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(SeedFile, HoldsThePoolAsWrittenAndReseedsTheWipeGenerator) {
  const auto path = dir_ / "seed.bin";
  std::ofstream(path, std::ios::binary) << "short seed";
  const uint64_t wipe_before = WipeState();
  SeedFileRefresh(path.string());
  const auto bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), kPoolBytes);
  std::array<uint8_t, kPoolBytes> pool;
  RandomPoolSnapshot(pool.data());
  EXPECT_TRUE(std::equal(pool.begin(), pool.end(), bytes.begin()));
  EXPECT_NE(WipeState(), wipe_before);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "seed.bin.tmp"));

  SeedFileRefresh("");  // the same path again
  EXPECT_NE(ReadAll(path), bytes);
}

TEST_F(SeedFile, UnwritablePlaceIsSkippedSilently) {
  const auto path = dir_ / "missing-folder" / "seed.bin";
  SeedFileRefresh(path.string());
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace orv
