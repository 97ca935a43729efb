// Fixed-width unsigned integers: arrays of 32-bit words, least significant
// word first, whose width n every operation takes as an argument. Nothing
// here allocates; results go to caller-provided arrays.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// 1 if a > b, -1 if a < b, 0 if equal (and 0 for n == 0).
int BigCompare(const uint32_t* a, const uint32_t* b, size_t n);

// r = a + b over n words; returns the carry out. r may alias a or b.
uint32_t BigAdd(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n);

// r = a - b over n words; returns the borrow out. r may alias a or b.
uint32_t BigSub(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n);

// a >>= 1 in place.
void BigShiftRight1(uint32_t* a, size_t n);

// a >>= k in place; k may exceed the width (the value becomes 0).
void BigShiftRight(uint32_t* a, size_t n, unsigned k);

// a <<= k in place, dropping bits shifted past the top word.
void BigShiftLeft(uint32_t* a, size_t n, unsigned k);

// a = -a in place (two's complement over n words).
void BigNegate(uint32_t* a, size_t n);

// Number of significant bits of a (0 for a zero value).
unsigned BigBitLength(const uint32_t* a, size_t n);

// True when every word of a is 0.
bool BigIsZero(const uint32_t* a, size_t n);

// r (2n words) = a * b, schoolbook, skipping leading zero words of both
// factors and zero words of b. r must not alias a or b.
void BigMultiply(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n);

// r (32 words) = a * b for exactly 16 words each. r must not alias a or b.
void BigMultiply16(uint32_t* r, const uint32_t* a, const uint32_t* b);

// r (32 words) = a * a for exactly 16 words; the same result as
// BigMultiply16(r, a, a) with fewer word products. r must not alias a.
void BigSquare16(uint32_t* r, const uint32_t* a);

// Binary long division over n words: quotient = dividend / divisor,
// remainder = dividend % divisor. Both inputs are clobbered: the dividend
// ends holding the remainder and the divisor ends as its starting value
// shifted right by one bit (unchanged when dividend < divisor), so callers
// divide copies. A zero divisor gives quotient 0 and remainder = dividend.
// quotient and remainder must not alias each other or the inputs.
void BigDivide(uint32_t* quotient, uint32_t* remainder, uint32_t* dividend, uint32_t* divisor,
               size_t n);

}  // namespace orv
