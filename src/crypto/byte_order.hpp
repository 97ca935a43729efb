// Explicit little- and big-endian loads and stores. Every wire and file
// layout goes through these, never through casts of structs onto buffers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint32_t LoadBe32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline void StoreBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

inline uint64_t LoadBe64(const uint8_t* p) {
  return (static_cast<uint64_t>(LoadBe32(p)) << 32) | LoadBe32(p + 4);
}

inline void StoreBe64(uint8_t* p, uint64_t v) {
  StoreBe32(p, static_cast<uint32_t>(v >> 32));
  StoreBe32(p + 4, static_cast<uint32_t>(v));
}

inline uint64_t LoadLe64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadLe32(p)) | (static_cast<uint64_t>(LoadLe32(p + 4)) << 32);
}

inline void StoreLe64(uint8_t* p, uint64_t v) {
  StoreLe32(p, static_cast<uint32_t>(v));
  StoreLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Words to their little-endian bytes and back (n words, 4n bytes).
inline void WordsToLeBytes(uint8_t* out, const uint32_t* words, size_t n) {
  for (size_t i = 0; i < n; ++i) StoreLe32(out + 4 * i, words[i]);
}

inline void LeBytesToWords(uint32_t* words, const uint8_t* in, size_t n) {
  for (size_t i = 0; i < n; ++i) words[i] = LoadLe32(in + 4 * i);
}

inline uint32_t RotateLeft(uint32_t v, unsigned k) { return (v << k) | (v >> ((32 - k) & 31)); }
inline uint32_t RotateRight(uint32_t v, unsigned k) { return (v >> k) | (v << ((32 - k) & 31)); }

}  // namespace orv
