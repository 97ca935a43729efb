#include "crypto/late_keystream.hpp"

#include "crypto/wipe.hpp"

namespace orv {
namespace {

constexpr size_t kKeptWords = LateKeystream::kWindow / 64;

size_t Slot(uint64_t p) { return static_cast<size_t>(p % LateKeystream::kWindow); }

}  // namespace

void LateKeystream::Allocate() {
  if (bytes_) return;
  bytes_ = std::make_unique<uint8_t[]>(kWindow);
  kept_ = std::make_unique<uint64_t[]>(kKeptWords);
  for (size_t i = 0; i < kKeptWords; ++i) kept_[i] = 0;
}

bool LateKeystream::Kept(uint64_t p) const {
  const size_t s = Slot(p);
  return (kept_[s / 64] >> (s % 64)) & 1;
}

void LateKeystream::SetKept(uint64_t p, bool kept) {
  const size_t s = Slot(p);
  const uint64_t bit = uint64_t{1} << (s % 64);
  kept_[s / 64] = kept ? kept_[s / 64] | bit : kept_[s / 64] & ~bit;
}

void LateKeystream::SeekKeeping(KeystreamGenerator& g, uint64_t target) {
  if (target <= g.position) return;
  // Only the last kWindow bytes can ever be taken.
  if (target - g.position > kWindow) {
    Passing(g, static_cast<size_t>(target - kWindow - g.position));
    KeystreamSeek(g, target - kWindow);
  }
  Allocate();
  while (g.position < target) {
    const uint64_t p = g.position;
    bytes_[Slot(p)] = KeystreamNextByte(g);
    SetKept(p, true);
    g.skipped += 1;
  }
}

void LateKeystream::Passing(const KeystreamGenerator& g, size_t n) {
  if (!bytes_) return;
  const uint64_t end = g.position + (n < kWindow ? n : kWindow);
  for (uint64_t p = g.position; p < end; ++p) SetKept(p, false);
}

bool LateKeystream::Take(const KeystreamGenerator& g, uint64_t p, size_t n, uint8_t* out) {
  if (!bytes_ || n == 0 || n > kWindow || p + n > g.position || g.position - p > kWindow) return false;
  for (uint64_t q = p; q < p + n; ++q)
    if (!Kept(q)) return false;
  for (uint64_t q = p; q < p + n; ++q) {
    out[q - p] = bytes_[Slot(q)];
    SetKept(q, false);
  }
  return true;
}

void LateKeystream::Clear() {
  if (!bytes_) return;
  WipeBytes(bytes_.get(), kWindow);
  bytes_.reset();
  kept_.reset();
  WipeAdvance();
}

}  // namespace orv
