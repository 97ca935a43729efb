// A 64-bit chained hash built on 66-cycle XTEA.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

// Updates the chaining value h = {h0, h1} with `length` bytes of data, in
// 8-byte blocks (the last one zero-filled). Length 0 leaves h unchanged.
void TeaHash64(uint32_t* h, const uint8_t* data, size_t length);

}  // namespace orv
