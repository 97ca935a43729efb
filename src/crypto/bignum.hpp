// Multi-precision arithmetic: everything the public-key code needs.
//   bignum_ops.hpp     word-array basics, schoolbook products, long division
//   bignum_signed.hpp  signed division and multiplication (for the inverse)
//   karatsuba.hpp      Karatsuba products over a chain of levels
//   barrett.hpp        Barrett reduction
//   mod_inverse.hpp    modular inverse (extended Euclid)
//   modexp.hpp         Montgomery multiplication and modular exponentiation
// Values are arrays of 32-bit words, least significant word first.
#pragma once

#include <cstddef>

#include "crypto/barrett.hpp"
#include "crypto/bignum_ops.hpp"
#include "crypto/bignum_signed.hpp"
#include "crypto/karatsuba.hpp"
#include "crypto/mod_inverse.hpp"
#include "crypto/modexp.hpp"

namespace orv {

// Width of every public-key value: 128 words, 4096 bits.
constexpr size_t kBigWords = 128;

}  // namespace orv
