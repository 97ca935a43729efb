// Signed arithmetic for the modular inverse: values are two's complement
// over their width n (the top bit of the top word is the sign). Both
// operations work on magnitudes and fix the signs afterwards, so they
// truncate toward zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// Words of scratch that BigSignedDivide and BigSignedMultiply need for width n.
constexpr size_t BigSignedScratchWords(size_t n) { return 2 * n; }

// quotient = a / b and remainder = a % b (n words each), truncating toward
// zero: the remainder takes the sign of a. a and b are left untouched. b is
// not 0. No output may alias an input or the scratch.
void BigSignedDivide(uint32_t* quotient, uint32_t* remainder, const uint32_t* a, const uint32_t* b,
                     size_t n, uint32_t* scratch);

// product (2n words) = a * b as signed values; its low n words are the
// product modulo 2^(32n). No output may alias an input or the scratch.
void BigSignedMultiply(uint32_t* product, const uint32_t* a, const uint32_t* b, size_t n,
                       uint32_t* scratch);

}  // namespace orv
