// The wipe generator: a cheap 64-bit linear congruential generator whose
// output overwrites every buffer that held secret material before it is
// released or reused. It is not a source of secrets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// One step: x = 33x + 0x71e86a1cd2d0e1db (mod 2^64); returns the low 32 bits
// of (x >> 32) XOR x of the new state.
uint32_t WipeStep();

// Overwrites n bytes, one step per byte (low 8 bits of the word output).
void WipeBytes(void* buffer, size_t n);

// Overwrites n 32-bit words, one step per word.
void WipeWords(uint32_t* words, size_t n);

// Steps 256 times, discarding the output, so that the state does not reveal
// what the last wipe wrote.
void WipeAdvance();

// State access for seeding (from the clock) and for tests.
uint64_t WipeState();
void SetWipeState(uint64_t x);

// The step function itself, for contexts that keep a private walk.
constexpr uint64_t kWipeIncrement = 0x71e86a1cd2d0e1dbull;
constexpr uint64_t WipeNext(uint64_t x) { return 33 * x + kWipeIncrement; }
constexpr uint32_t WipeOutput(uint64_t x) { return static_cast<uint32_t>((x >> 32) ^ x); }

}  // namespace orv
