// Reproducible pseudo-random big numbers for tests and benchmarks
// (SplitMix64 from a seed), and the schoolbook product they are checked by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "crypto/bignum.hpp"

namespace orv::test {

using Words = std::vector<uint32_t>;

inline Words SeededWords(size_t n, uint64_t seed) {
  Words w(n);
  for (auto& word : w) {
    seed += 0x9e3779b97f4a7c15ull;
    uint64_t z = seed;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    word = static_cast<uint32_t>(z ^ (z >> 31));
  }
  return w;
}

inline Words Schoolbook(const Words& a, const Words& b) {
  Words r(2 * a.size());
  BigMultiply(r.data(), a.data(), b.data(), a.size());
  return r;
}

}  // namespace orv::test
