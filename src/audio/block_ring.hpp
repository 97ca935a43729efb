// The ring of 7 blocks behind every audio device: 6 blocks are always queued
// in the device, the seventh belongs to the owner. The device finishes the
// queued blocks in order, counts them and sets the block event; the owner
// fetches the finished blocks in the same order, and each fetch hands the
// previously fetched block back to the device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "audio/block_event.hpp"

namespace orv {

constexpr size_t kRingBlocks = 7;
constexpr size_t kQueuedBlocks = 6;
constexpr size_t kBlockFrames = 320;  // 20 ms at 16 kHz

class BlockRing {
 public:
  explicit BlockRing(size_t block_samples);
  BlockRing(const BlockRing&) = delete;
  BlockRing& operator=(const BlockRing&) = delete;

  // Owner side. Null while no finished block waits. Otherwise queues the
  // block fetched before (at first the spare block 6) and returns the
  // oldest finished one, which stays the owner's until the next fetch.
  int16_t* Next();
  // Whether a finished block waits.
  bool Available();
  BlockEvent& event() { return event_; }
  int16_t* block(size_t index) { return samples_.data() + index * block_samples_; }
  size_t block_samples() const { return block_samples_; }

  // Device side: runs `work` on the oldest queued block, counts it as
  // finished and sets the event. False, with nothing done, when the device
  // has no queued block (the owner fell behind).
  template <typename Work>
  bool FinishQueued(Work&& work) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (queue_size_ == 0) return false;
      const uint8_t index = queue_[queue_head_];
      queue_head_ = (queue_head_ + 1) % kRingBlocks;
      --queue_size_;
      work(block(index));
      ++finished_count_;
    }
    event_.Set();
    return true;
  }

 private:
  std::mutex lock_;  // guards the count and the device queue
  std::vector<int16_t> samples_;
  size_t block_samples_;
  uint32_t next_index_ = kQueuedBlocks;  // the block not queued in the device
  int64_t finished_count_ = 0;           // finished by the device, not yet fetched
  std::array<uint8_t, kRingBlocks> queue_{};  // the device's blocks, oldest first
  size_t queue_head_ = 0;
  size_t queue_size_ = 0;
  BlockEvent event_;
};

}  // namespace orv
