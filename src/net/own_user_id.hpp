// The own UserId written into every datagram header. Loading another key
// replaces it while other threads may be writing headers, so each word is
// atomic; a header written during the switch may mix the two ids, and the
// peer drops it like any datagram from an unknown sender.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "crypto/certificate.hpp"

namespace orv {

class OwnUserId {
 public:
  using Words = std::array<uint32_t, kUserIdWords>;

  Words Get() const {
    Words id{};
    for (size_t i = 0; i < id.size(); ++i) id[i] = words_[i].load(std::memory_order_relaxed);
    return id;
  }
  void Set(const uint32_t* id) {
    for (size_t i = 0; i < words_.size(); ++i) words_[i].store(id[i], std::memory_order_relaxed);
  }

 private:
  std::array<std::atomic<uint32_t>, kUserIdWords> words_{};
};

}  // namespace orv
