#include "crypto/wipe.hpp"

#include <atomic>

namespace orv {
namespace {

// Shared by every thread without a lock. Relaxed atomic load and store keep
// it free of data races; an update lost between two threads is harmless,
// since nothing depends on the exact sequence.
std::atomic<uint64_t> g_state{0};

// Keeps the compiler from dropping stores into a buffer that is about to die.
inline void KeepStores(void* p) { asm volatile("" : : "r"(p) : "memory"); }

}  // namespace

uint32_t WipeStep() {
  uint64_t x = WipeNext(g_state.load(std::memory_order_relaxed));
  g_state.store(x, std::memory_order_relaxed);
  return WipeOutput(x);
}

void WipeBytes(void* buffer, size_t n) {
  auto* b = static_cast<uint8_t*>(buffer);
  uint64_t x = g_state.load(std::memory_order_relaxed);
  for (size_t i = 0; i < n; ++i) {
    x = WipeNext(x);
    b[i] = static_cast<uint8_t>(WipeOutput(x));
  }
  g_state.store(x, std::memory_order_relaxed);
  KeepStores(buffer);
}

void WipeWords(uint32_t* words, size_t n) {
  uint64_t x = g_state.load(std::memory_order_relaxed);
  for (size_t i = 0; i < n; ++i) {
    x = WipeNext(x);
    words[i] = WipeOutput(x);
  }
  g_state.store(x, std::memory_order_relaxed);
  KeepStores(words);
}

void WipeAdvance() {
  uint64_t x = g_state.load(std::memory_order_relaxed);
  for (int i = 0; i < 256; ++i) x = WipeNext(x);
  g_state.store(x, std::memory_order_relaxed);
}

uint64_t WipeState() { return g_state.load(std::memory_order_relaxed); }
void SetWipeState(uint64_t x) { g_state.store(x, std::memory_order_relaxed); }

}  // namespace orv
