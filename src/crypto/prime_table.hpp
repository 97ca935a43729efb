// The built-in table of 4096-bit safe primes from which key pairs and
// session groups take their modulus.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

constexpr size_t kPrimeTableEntries = 360;
constexpr size_t kPrimeEntryBytes = 512;

// Entry i as 128 words, least significant first. False for an index out of
// range.
bool PrimeTableEntry(size_t index, uint32_t* out);

// Copies the entry picked by two wipe generator steps (o1, then o2:
// ((o2 << 32) | o1) mod 360). The prime is public; the pool is not used.
void RandomSafePrime(uint32_t* destination);

}  // namespace orv
