// The operating system's random source.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// Fills up to n bytes from getrandom(2). Failures are not reported: bytes
// that could not be drawn keep what the buffer held.
void OsRandomBytes(uint8_t* out, size_t n);

}  // namespace orv
