// The Jacobi symbol (a/n) for odd n, by the binary algorithm. For a prime
// n it is the Legendre symbol: 1 when a is a non-zero square modulo n, -1
// when it is not (so a^((n-1)/2) mod n is 1 or n - 1), 0 when n divides a.
// Variable time: for public values only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// a and n of `words` words, n odd; scratch holds 2 * words words.
int JacobiSymbol(const uint32_t* a, const uint32_t* n, size_t words, uint32_t* scratch);

}  // namespace orv
