// Hands out consecutive word ranges of one buffer, so that a context can
// allocate all its scratch at once and name each part by its offset.
#pragma once

#include <cstddef>

namespace orv {

class WordLayout {
 public:
  // The offset of a new range of `words` words.
  size_t Take(size_t words) {
    const size_t start = total_;
    total_ += words;
    return start;
  }
  size_t total() const { return total_; }

 private:
  size_t total_ = 0;
};

}  // namespace orv
