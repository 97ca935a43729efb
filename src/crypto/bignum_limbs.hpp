// Internal to the big number code: helpers that walk arrays of 32-bit words
// two at a time as 64-bit limbs. A pair of words (low word first) is the
// same number as one 64-bit limb, so every result is exactly the one a
// word-by-word loop gives; the wider steps only halve the work.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orv::limbs {

__extension__ typedef unsigned __int128 u128;

// Reads words p[0] (low) and p[1] (high) as one limb.
inline uint64_t Load64(const uint32_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  } else {
    return uint64_t{p[0]} | uint64_t{p[1]} << 32;
  }
}

// Writes a limb back as words p[0] (low) and p[1] (high).
inline void Store64(uint32_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
  } else {
    p[0] = static_cast<uint32_t>(v);
    p[1] = static_cast<uint32_t>(v >> 32);
  }
}

// r = a + b + carry on one limb; carry becomes the carry out (0 or 1).
inline uint64_t AddCarry(uint64_t a, uint64_t b, uint64_t& carry) {
  u128 t = u128{a} + b + carry;
  carry = static_cast<uint64_t>(t >> 64);
  return static_cast<uint64_t>(t);
}

// r = a - b - borrow on one limb; borrow becomes the borrow out (0 or 1).
inline uint64_t SubBorrow(uint64_t a, uint64_t b, uint64_t& borrow) {
  u128 t = u128{a} - b - borrow;
  borrow = static_cast<uint64_t>(t >> 64) & 1;
  return static_cast<uint64_t>(t);
}

// r = a + b over n words; returns the carry out. r may alias a or b.
inline uint32_t AddWords(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
  uint64_t carry = 0;
  size_t i = 0;
  for (; i + 2 <= n; i += 2) Store64(r + i, AddCarry(Load64(a + i), Load64(b + i), carry));
  if (i < n) {
    uint64_t t = uint64_t{a[i]} + b[i] + carry;
    r[i] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
  return static_cast<uint32_t>(carry);
}

// r = a - b over n words; returns the borrow out. r may alias a or b.
inline uint32_t SubWords(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
  uint64_t borrow = 0;
  size_t i = 0;
  for (; i + 2 <= n; i += 2) Store64(r + i, SubBorrow(Load64(a + i), Load64(b + i), borrow));
  if (i < n) {
    uint64_t t = uint64_t{a[i]} - b[i] - borrow;
    r[i] = static_cast<uint32_t>(t);
    borrow = (t >> 32) & 1;
  }
  return static_cast<uint32_t>(borrow);
}

// Adds a small value into r[0..n) and carries it upward while it lasts;
// returns what is left over past word n - 1.
inline uint32_t AddCarryUp(uint32_t* r, size_t n, uint32_t carry) {
  for (size_t i = 0; i < n && carry != 0; ++i) {
    uint64_t t = uint64_t{r[i]} + carry;
    r[i] = static_cast<uint32_t>(t);
    carry = static_cast<uint32_t>(t >> 32);
  }
  return carry;
}

}  // namespace orv::limbs
