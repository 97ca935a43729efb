// Speed of the symmetric primitives that run on every packet (stir,
// keystream, tag) and on every use of the password (key derivation).
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "alloc_counter.hpp"
#include "crypto/block_hash.hpp"
#include "crypto/idea.hpp"
#include "crypto/keystream.hpp"
#include "crypto/password_kdf.hpp"
#include "crypto/random_pool.hpp"
#include "crypto/xtea.hpp"

namespace orv {
namespace {

void BM_PasswordKeyDerive(benchmark::State& state) {
  const uint8_t password[] = "correct horse battery staple";
  std::array<uint8_t, kSaltBytes> salt{};
  std::array<uint8_t, kPasswordKeyBytes> key{};
  AllocationReport report(state);
  for (auto _ : state) {
    PasswordKeyDerive(password, sizeof password - 1, salt.data(), key.data());
    benchmark::DoNotOptimize(key);
  }
}
BENCHMARK(BM_PasswordKeyDerive)->Unit(benchmark::kMillisecond);

void BM_RandomWords128(benchmark::State& state) {
  std::array<uint32_t, 128> words{};
  AllocationReport report(state);
  for (auto _ : state) {
    RandomWords(words.data(), 128);
    benchmark::DoNotOptimize(words);
  }
}
BENCHMARK(BM_RandomWords128)->Unit(benchmark::kMicrosecond);

void BM_RandomStir(benchmark::State& state) {
  std::vector<uint8_t> data(static_cast<size_t>(state.range(0)), 0x5a);
  AllocationReport report(state);
  for (auto _ : state) RandomStir(data.data(), static_cast<uint32_t>(data.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_RandomStir)->Arg(8)->Arg(100)->Arg(1024)->Unit(benchmark::kMicrosecond);

void BM_BlockHash128Over2048(benchmark::State& state) {
  std::vector<uint8_t> data(2048, 0x33);
  std::array<uint32_t, 128> h{};
  BlockHashContext ctx(128);
  AllocationReport report(state);
  for (auto _ : state) {
    BlockHashUpdate(ctx, h.data(), data.data(), data.size(), 2048, nullptr, true);
    benchmark::DoNotOptimize(h);
  }
}
BENCHMARK(BM_BlockHash128Over2048)->Unit(benchmark::kMicrosecond);

void BM_KeystreamBytes(benchmark::State& state) {
  KeystreamGenerator g;
  std::array<uint32_t, kKeyBlockWords> key{};
  KeystreamLoad(g, key.data());
  std::array<uint8_t, 1024> out{};
  AllocationReport report(state);
  for (auto _ : state) {
    for (auto& b : out) b = KeystreamNextByte(g);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}
BENCHMARK(BM_KeystreamBytes);

void BM_Xtea66Block(benchmark::State& state) {
  const uint32_t key[4] = {1, 2, 3, 4};
  uint32_t block[2] = {5, 6};
  AllocationReport report(state);
  for (auto _ : state) {
    Xtea66Encrypt(block, key);
    benchmark::DoNotOptimize(block);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_Xtea66Block);

void BM_IdeaBlock(benchmark::State& state) {
  const uint8_t key[16] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8};
  uint8_t block[8] = {};
  AllocationReport report(state);
  for (auto _ : state) {
    IdeaBlock(block, key);
    benchmark::DoNotOptimize(block);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_IdeaBlock);

}  // namespace
}  // namespace orv
