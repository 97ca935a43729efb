// A fixed-size array of 64-bit limbs for secret material: allocated once,
// overwritten with wipe generator words (two per limb, low half first) when
// cleared and before release.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "crypto/wipe.hpp"

namespace orv {

class SecureLimbs {
 public:
  SecureLimbs() = default;
  explicit SecureLimbs(size_t n) : limbs_(std::make_unique<uint64_t[]>(n)), size_(n) { Wipe(); }
  ~SecureLimbs() { Wipe(); }
  SecureLimbs(SecureLimbs&& other) noexcept : limbs_(std::move(other.limbs_)), size_(other.size_) {
    other.size_ = 0;
  }
  SecureLimbs& operator=(SecureLimbs&& other) noexcept {
    if (this != &other) {
      Wipe();
      limbs_ = std::move(other.limbs_);
      size_ = other.size_;
      other.size_ = 0;
    }
    return *this;
  }
  SecureLimbs(const SecureLimbs&) = delete;
  SecureLimbs& operator=(const SecureLimbs&) = delete;

  // Overwrites every limb with wipe generator output.
  void Wipe() {
    if (!limbs_) return;
    uint64_t x = WipeState();
    for (size_t i = 0; i < size_; ++i) {
      x = WipeNext(x);
      const uint64_t low = WipeOutput(x);
      x = WipeNext(x);
      limbs_[i] = low | uint64_t{WipeOutput(x)} << 32;
    }
    SetWipeState(x);
    asm volatile("" : : "r"(limbs_.get()) : "memory");  // the stores stay
  }

  uint64_t* data() { return limbs_.get(); }
  const uint64_t* data() const { return limbs_.get(); }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<uint64_t[]> limbs_;
  size_t size_ = 0;
};

}  // namespace orv
