// A fixed-size array of 32-bit words for secret material: allocated once,
// overwritten with wipe generator words when cleared and before release.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "crypto/wipe.hpp"

namespace orv {

class SecureWords {
 public:
  SecureWords() = default;
  explicit SecureWords(size_t n) : words_(std::make_unique<uint32_t[]>(n)), size_(n) { Wipe(); }
  ~SecureWords() { Wipe(); }
  SecureWords(SecureWords&&) noexcept = default;
  SecureWords& operator=(SecureWords&& other) noexcept {
    if (this != &other) {
      Wipe();
      words_ = std::move(other.words_);
      size_ = other.size_;
      other.size_ = 0;
    }
    return *this;
  }
  SecureWords(const SecureWords&) = delete;
  SecureWords& operator=(const SecureWords&) = delete;

  // Overwrites every word with wipe generator output.
  void Wipe() {
    if (words_) WipeWords(words_.get(), size_);
  }

  uint32_t* data() { return words_.get(); }
  const uint32_t* data() const { return words_.get(); }
  size_t size() const { return size_; }
  uint32_t& operator[](size_t i) { return words_[i]; }
  const uint32_t& operator[](size_t i) const { return words_[i]; }

 private:
  std::unique_ptr<uint32_t[]> words_;
  size_t size_ = 0;
};

}  // namespace orv
