#include "audio/block_ring.hpp"

namespace orv {

BlockRing::BlockRing(size_t block_samples)
    : samples_(kRingBlocks * block_samples, 0), block_samples_(block_samples) {
  for (size_t i = 0; i < kQueuedBlocks; ++i) queue_[i] = static_cast<uint8_t>(i);
  queue_size_ = kQueuedBlocks;
}

int16_t* BlockRing::Next() {
  std::lock_guard<std::mutex> hold(lock_);
  if (finished_count_ == 0) return nullptr;
  --finished_count_;
  const uint32_t handed_back = next_index_;
  next_index_ = (handed_back + 1) % kRingBlocks;
  queue_[(queue_head_ + queue_size_) % kRingBlocks] = static_cast<uint8_t>(handed_back);
  ++queue_size_;
  return block(next_index_);
}

bool BlockRing::Available() {
  std::lock_guard<std::mutex> hold(lock_);
  return finished_count_ > 0;
}

}  // namespace orv
