// The keystream a receiver passed over, kept for a while. The network may
// deliver a packet after a later one (reordering); the receiver has by then
// moved its generator past the earlier packet's keystream. The bytes it
// skipped stay here, each usable once, so that the late packet still opens
// and a replayed one does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "crypto/keystream.hpp"

namespace orv {

class LateKeystream {
 public:
  // How far behind the generator a late packet may start.
  static constexpr uint64_t kWindow = 0x10000;

  LateKeystream() = default;
  ~LateKeystream() { Clear(); }
  // A copy starts empty: what was skipped belongs to the original.
  LateKeystream(const LateKeystream&) {}
  LateKeystream& operator=(const LateKeystream& other) {
    if (this != &other) Clear();
    return *this;
  }

  // Moves `g` forward to `target`, keeping the bytes passed over (the last
  // kWindow of them). `target` must not be behind `g`.
  void SeekKeeping(KeystreamGenerator& g, uint64_t target);
  // The generator is about to use `n` bytes from its position: they can
  // never serve a late packet.
  void Passing(const KeystreamGenerator& g, size_t n);
  // The kept keystream for positions [p, p + n), each byte passed over and
  // not used yet, copied into `out` and used up; false (nothing changed)
  // otherwise.
  bool Take(const KeystreamGenerator& g, uint64_t p, size_t n, uint8_t* out);
  // Wipes and frees what is kept.
  void Clear();

 private:
  void Allocate();
  bool Kept(uint64_t p) const;
  void SetKept(uint64_t p, bool kept);

  std::unique_ptr<uint8_t[]> bytes_;  // kWindow bytes, by position modulo kWindow
  std::unique_ptr<uint64_t[]> kept_;  // one bit per byte: passed over and not used
};

}  // namespace orv
