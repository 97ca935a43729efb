#include "crypto/random_pool.hpp"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <mutex>

#include "crypto/byte_order.hpp"
#include "crypto/idea.hpp"
#include "crypto/os_random.hpp"
#include "crypto/pool_counter.hpp"
#include "crypto/wipe.hpp"
#include "crypto/xtea.hpp"

namespace orv {
namespace {

constexpr unsigned kPoolXxteaCycles = 20;
constexpr uint32_t kBaseRounds = 20;

// Words 0..3: the 128-bit counter (and XXTEA key of each output step);
// words 4..255: the mixing state, words 4..7 doubling as the IDEA key.
uint32_t g_pool[kPoolWords];

// Recursive: RandomWords holds it while the reseeds it calls stir the pool.
std::recursive_mutex& PoolLock() {
  static std::recursive_mutex lock;
  return lock;
}

// One 8-byte output block. The pool lock must be held.
void PoolOutputBlock(uint32_t* out) {
  PoolCounterStep(g_pool);
  XxteaMix(g_pool + 4, kPoolWords - 4, g_pool, kPoolXxteaCycles);
  uint8_t key[16];
  WordsToLeBytes(key, g_pool + 4, 4);
  out[0] = g_pool[0];
  out[1] = g_pool[1];
  IdeaBlockWords(out, key);
  WipeBytes(key, sizeof key);
}

// The mixing rounds of a stir, on a private copy of the pool.
void StirRounds(uint32_t* l, const uint8_t* data, uint32_t length, uint32_t* block) {
  uint8_t bytes[kPoolBytes];
  uint32_t read_position = 0, k = 0;
  const uint32_t rounds = RandomStirRounds(length);
  for (uint32_t r = 0; r < rounds; ++r) {
    RandomStirFillBlock(bytes, data, length, &read_position);
    LeBytesToWords(block, bytes, kPoolWords);
    for (uint32_t step = 1; step <= kPoolWords; ++step) {
      const uint32_t j = step & (kPoolWords - 1);  // 1..255, then 0
      uint32_t t = (block[j] ^ l[(j + kPoolWords - 1) & (kPoolWords - 1)]) + k++;
      t *= 15;
      t = (t >> 10) ^ t;
      l[j] += RotateLeft(t, 7);
    }
  }
  WipeBytes(bytes, sizeof bytes);
}

}  // namespace

uint32_t RandomStirRounds(uint32_t length) {
  if (length <= kPoolBytes) return kBaseRounds;
  return static_cast<uint32_t>((static_cast<uint64_t>(length) * kBaseRounds + kPoolBytes - 1) / kPoolBytes);
}

void RandomStirFillBlock(uint8_t* block, const uint8_t* data, uint32_t length, uint32_t* read_position) {
  const uint32_t start = *read_position;
  if (length >= kPoolBytes) {
    // Long input: one run to its end, then from its start.
    const size_t first = std::min<size_t>(length - start, kPoolBytes);
    std::memcpy(block, data + start, first);
    std::memcpy(block + first, data, kPoolBytes - first);
  } else {
    // Short input: one period (the data rotated to the read position), then
    // the block repeats itself, copied in growing whole periods.
    std::memcpy(block, data + start, length - start);
    std::memcpy(block + (length - start), data, start);
    size_t filled = length;
    while (filled < kPoolBytes) {
      const size_t run = std::min<size_t>(filled, kPoolBytes - filled);
      std::memcpy(block + filled, block, run);
      filled += run;
    }
  }
  *read_position = static_cast<uint32_t>((start + kPoolBytes) % length);
}

void RandomStir(const uint8_t* data, uint32_t length) {
  if (data == nullptr || length == 0) {
    RandomReseed();
    return;
  }
  uint32_t l[kPoolWords], block[kPoolWords];
  {
    std::lock_guard<std::recursive_mutex> lock(PoolLock());
    for (size_t i = 0; i < kPoolWords; ++i) l[i] = g_pool[i];
  }
  StirRounds(l, data, length, block);
  {
    std::lock_guard<std::recursive_mutex> lock(PoolLock());
    for (size_t i = 0; i < kPoolWords; ++i) g_pool[i] ^= l[i];
  }
  WipeWords(l, kPoolWords);
  WipeWords(block, kPoolWords);
  WipeAdvance();
}

void RandomReseed() {
  uint8_t clock_bytes[8];
  StoreLe64(clock_bytes, static_cast<uint64_t>(static_cast<int64_t>(std::time(nullptr))));
  RandomStir(clock_bytes, sizeof clock_bytes);
  WipeBytes(clock_bytes, sizeof clock_bytes);
  uint8_t os_bytes[kPoolBytes];
  OsRandomBytes(os_bytes, sizeof os_bytes);
  WipeAdvance();
  RandomStir(os_bytes, sizeof os_bytes);
  WipeBytes(os_bytes, sizeof os_bytes);
  WipeAdvance();
}

void RandomWords(uint32_t* destination, uint32_t count) {
  uint32_t scratch[2];
  {
    std::lock_guard<std::recursive_mutex> lock(PoolLock());
    RandomReseed();
    uint32_t i = 0;
    for (; i + 1 < count; i += 2) PoolOutputBlock(destination + i);
    if (i < count) {
      PoolOutputBlock(scratch);
      destination[i] = scratch[0];
    }
    RandomReseed();
  }
  WipeWords(scratch, 2);
  WipeAdvance();
}

void RandomPoolSnapshot(uint8_t* out) {
  std::lock_guard<std::recursive_mutex> lock(PoolLock());
  WordsToLeBytes(out, g_pool, kPoolWords);
}

}  // namespace orv
