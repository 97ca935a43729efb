// Internal to the big number code: helpers that walk arrays of 32-bit words
// two at a time as 64-bit limbs. A pair of words (low word first) is the
// same number as one 64-bit limb, so every result is exactly the one a
// word-by-word loop gives; the wider steps only halve the work.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// x86-64 gets its carry chains from intrinsics and a little inline
// assembly; elsewhere (or with ORV_PORTABLE_LIMBS defined, to test that
// path) plain 128-bit arithmetic does the same job.
#if defined(__x86_64__) && !defined(ORV_PORTABLE_LIMBS)
#define ORV_X86_64_LIMBS 1
#include <x86intrin.h>
#endif

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
inline uint64_t AddCarry(uint64_t a, uint64_t b, unsigned char& carry) {
#ifdef ORV_X86_64_LIMBS
  unsigned long long r;
  carry = _addcarry_u64(carry, a, b, &r);
  return r;
#else
  u128 t = u128{a} + b + carry;
  carry = static_cast<unsigned char>(t >> 64);
  return static_cast<uint64_t>(t);
#endif
}

// r = a - b - borrow on one limb; borrow becomes the borrow out (0 or 1).
inline uint64_t SubBorrow(uint64_t a, uint64_t b, unsigned char& borrow) {
#ifdef ORV_X86_64_LIMBS
  unsigned long long r;
  borrow = _subborrow_u64(borrow, a, b, &r);
  return r;
#else
  u128 t = u128{a} - b - borrow;
  borrow = static_cast<unsigned char>((t >> 64) & 1);
  return static_cast<uint64_t>(t);
#endif
}

#ifdef ORV_X86_64_LIMBS
// Four limbs of an add (adcq) or subtract (sbbq) chain: r[0..8) = a op b
// with the carry c in and out as 0 or 1. Compilers tend to save and restore
// the carry flag around every limb of an intrinsic chain; written out here
// the flag runs through all four limbs untouched, which roughly halves the
// cost of the additions inside a Karatsuba step.
#define ORV_LIMB_BLOCK(insn)                                                           \
  asm("negq %[c]\n\t" /* CF = c */                                                     \
      "movq 0(%[a]), %[t0]\n\t" insn " 0(%[b]), %[t0]\n\tmovq %[t0], 0(%[r])\n\t"      \
      "movq 8(%[a]), %[t1]\n\t" insn " 8(%[b]), %[t1]\n\tmovq %[t1], 8(%[r])\n\t"      \
      "movq 16(%[a]), %[t2]\n\t" insn " 16(%[b]), %[t2]\n\tmovq %[t2], 16(%[r])\n\t"   \
      "movq 24(%[a]), %[t3]\n\t" insn " 24(%[b]), %[t3]\n\tmovq %[t3], 24(%[r])\n\t"   \
      "sbbq %[c], %[c]\n\t" /* c = -CF */                                              \
      "negq %[c]"                                                                      \
      : [c] "+r"(c), [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3)    \
      : [a] "r"(a), [b] "r"(b), [r] "r"(r)                                             \
      : "memory", "cc")

inline unsigned char AddBlock(uint32_t* r, const uint32_t* a, const uint32_t* b, uint64_t c) {
  uint64_t t0, t1, t2, t3;
  ORV_LIMB_BLOCK("adcq");
  return static_cast<unsigned char>(c);
}

inline unsigned char SubBlock(uint32_t* r, const uint32_t* a, const uint32_t* b, uint64_t c) {
  uint64_t t0, t1, t2, t3;
  ORV_LIMB_BLOCK("sbbq");
  return static_cast<unsigned char>(c);
}
#undef ORV_LIMB_BLOCK
#else
inline unsigned char AddBlock(uint32_t* r, const uint32_t* a, const uint32_t* b, uint64_t c) {
  auto carry = static_cast<unsigned char>(c);
  for (size_t i = 0; i < 8; i += 2) Store64(r + i, AddCarry(Load64(a + i), Load64(b + i), carry));
  return carry;
}
inline unsigned char SubBlock(uint32_t* r, const uint32_t* a, const uint32_t* b, uint64_t c) {
  auto borrow = static_cast<unsigned char>(c);
  for (size_t i = 0; i < 8; i += 2) Store64(r + i, SubBorrow(Load64(a + i), Load64(b + i), borrow));
  return borrow;
}
#endif

// r = a + b over n words; returns the carry out. r may alias a or b.
inline uint32_t AddWords(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
  unsigned char carry = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) carry = AddBlock(r + i, a + i, b + i, carry);
  for (; i + 2 <= n; i += 2) Store64(r + i, AddCarry(Load64(a + i), Load64(b + i), carry));
  if (i == n) return carry;
  uint64_t t = uint64_t{a[i]} + b[i] + carry;
  r[i] = static_cast<uint32_t>(t);
  return static_cast<uint32_t>(t >> 32);
}

// r = a - b over n words; returns the borrow out. r may alias a or b.
inline uint32_t SubWords(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
  unsigned char borrow = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) borrow = SubBlock(r + i, a + i, b + i, borrow);
  for (; i + 2 <= n; i += 2) Store64(r + i, SubBorrow(Load64(a + i), Load64(b + i), borrow));
  if (i == n) return borrow;
  uint64_t t = uint64_t{a[i]} - b[i] - borrow;
  r[i] = static_cast<uint32_t>(t);
  return static_cast<uint32_t>(t >> 32) & 1;
}

// Number of words up to and including the highest non-zero one. Values in
// wide rows often have long runs of zero words on top; those are skipped
// eight words at a time.
inline size_t SignificantWords(const uint32_t* a, size_t n) {
  while (n >= 8 && (Load64(a + n - 8) | Load64(a + n - 6) | Load64(a + n - 4) | Load64(a + n - 2)) == 0) {
    n -= 8;
  }
  while (n > 0 && a[n - 1] == 0) --n;
  return n;
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
