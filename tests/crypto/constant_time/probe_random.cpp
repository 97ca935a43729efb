#include <valgrind/memcheck.h>

#include <cstdint>

#include "constant_time/probe_random.hpp"
#include "crypto/random_pool.hpp"

namespace orv {
namespace {

bool g_secret = false;
uint64_t g_state = 0x243f6a8885a308d3ull;

uint32_t NextWord() {
  g_state += 0x9e3779b97f4a7c15ull;
  uint64_t z = g_state;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return static_cast<uint32_t>(z ^ (z >> 31));
}

}  // namespace

namespace probe {
void MarkRandomnessSecret(bool secret) { g_secret = secret; }
}  // namespace probe

void RandomWords(uint32_t* destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) destination[i] = NextWord();
  if (g_secret) VALGRIND_MAKE_MEM_UNDEFINED(destination, count * sizeof *destination);
}

void RandomStir(const uint8_t*, uint32_t) {}
void RandomReseed() {}

}  // namespace orv
