// A password as the byte string the person typed (the locale's narrow text,
// UTF-8 here): 1 to 127 bytes in a fixed 128-byte array. The array never
// moves to a reallocating container; it is overwritten with wipe generator
// output when cleared, when moved from and when released, and starts out
// filled with wipe generator noise like every key-holding structure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "crypto/wipe.hpp"

namespace orv {

class PasswordBytes {
 public:
  static constexpr size_t kCapacity = 128;
  // The password dialogs take at most 127 bytes; longer input is cut, the
  // same way whether the password is being set or entered.
  static constexpr size_t kMaxLength = kCapacity - 1;

  PasswordBytes() { WipeBytes(bytes_.data(), bytes_.size()); }
  PasswordBytes(const uint8_t* data, size_t n) : PasswordBytes() { Assign(data, n); }
  explicit PasswordBytes(std::string_view text) : PasswordBytes() { Assign(text); }
  ~PasswordBytes() { Clear(); }

  PasswordBytes(PasswordBytes&& other) noexcept : PasswordBytes() { TakeFrom(other); }
  PasswordBytes& operator=(PasswordBytes&& other) noexcept {
    if (this != &other) TakeFrom(other);
    return *this;
  }
  PasswordBytes(const PasswordBytes&) = delete;
  PasswordBytes& operator=(const PasswordBytes&) = delete;

  void Assign(const uint8_t* data, size_t n) {
    Clear();
    length_ = n < kMaxLength ? n : kMaxLength;
    if (length_) std::memcpy(bytes_.data(), data, length_);
  }
  void Assign(std::string_view text) { Assign(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }

  // Appends one byte; false (and nothing changed) when the password is full.
  bool Append(uint8_t byte) {
    if (length_ == kMaxLength) return false;
    bytes_[length_++] = byte;
    return true;
  }

  // Overwrites every byte and forgets the length.
  void Clear() {
    WipeBytes(bytes_.data(), bytes_.size());
    length_ = 0;
  }

  const uint8_t* data() const { return bytes_.data(); }
  size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }

  bool operator==(const PasswordBytes& other) const {
    return length_ == other.length_ && std::memcmp(bytes_.data(), other.bytes_.data(), length_) == 0;
  }

 private:
  void TakeFrom(PasswordBytes& other) {
    Clear();
    length_ = other.length_;
    if (length_) std::memcpy(bytes_.data(), other.bytes_.data(), length_);
    other.Clear();
  }

  std::array<uint8_t, kCapacity> bytes_;
  size_t length_ = 0;
};

}  // namespace orv
