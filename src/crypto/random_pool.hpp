// The process-wide cryptographic generator: a 1024-byte pool fed by the OS
// source, the clock, user input, session packets and the seed file, whose
// output is made by XXTEA and IDEA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

constexpr size_t kPoolBytes = 1024;
constexpr size_t kPoolWords = 256;

// Fills `count` words with fresh secret output. Draws 2048 bytes from the OS
// source around the output, whatever the count.
void RandomWords(uint32_t* destination, uint32_t count);

// Mixes caller bytes into the pool; null or empty input reseeds instead.
void RandomStir(const uint8_t* data, uint32_t length);

// Stirs in the clock and 1024 bytes from the OS source.
void RandomReseed();

// Loads the seed file (when present) into the pool, reseeds, writes the pool
// back to the file and seeds the wipe generator from the clock. An empty
// path keeps the previous one (initially "seed.bin"). A missing, unreadable
// or unwritable seed file is skipped silently.
void SeedFileRefresh(const std::string& path);

// Number of mixing rounds a stir of `length` bytes runs.
uint32_t RandomStirRounds(uint32_t length);

// Fills the 1024-byte stir block from data taken as an endless cycle,
// continuing at *read_position.
void RandomStirFillBlock(uint8_t* block, const uint8_t* data, uint32_t length, uint32_t* read_position);

// A copy of the pool's bytes (for the seed file and for tests).
void RandomPoolSnapshot(uint8_t* out);

}  // namespace orv
