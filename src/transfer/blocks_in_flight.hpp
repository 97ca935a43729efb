// The sender's blocks waiting for their acknowledgement, found by block
// number in constant time, and the order in which they were last sent, so
// that the oldest transmission is at hand without a scan. A block sent again
// moves to the back; its earlier place is skipped when reached.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "transfer/transfer_protocol.hpp"

namespace orv {

struct FlightBlock {
  std::array<uint8_t, kMaxMessageBytes> message{};
  uint32_t length = 0;      // bytes of `message` in use
  uint64_t block = 0;
  uint64_t sequence = 0;    // of its last transmission, counting every block sent
  uint64_t sent_tick = 0;   // of its last transmission
  uint64_t sent_us = 0;     // of its last transmission, monotonic clock
  uint32_t sends = 0;       // transmissions so far
};

class BlocksInFlight {
 public:
  size_t Count() const { return index_.size(); }
  bool Empty() const { return index_.empty(); }

  // A new block in flight, not yet sent; valid until the next Add.
  FlightBlock& Add(uint64_t block);
  FlightBlock* Find(uint64_t block);
  void Remove(uint64_t block);

  // Records a transmission of `b` with the next sequence number.
  void Sent(FlightBlock& b, uint64_t tick, uint64_t now_us);
  // The block whose last transmission is the oldest, or null.
  FlightBlock* Oldest();
  // Takes the oldest transmission off the order (the block stays in flight
  // until Sent again or Removed).
  void DropOldest() { order_.pop_front(); }
  uint64_t LastSequence() const { return sequence_; }

 private:
  struct Sending {
    uint64_t block;
    uint64_t sequence;
  };
  std::vector<FlightBlock> pool_;
  std::vector<uint32_t> free_;
  std::unordered_map<uint64_t, uint32_t> index_;
  std::deque<Sending> order_;
  uint64_t sequence_ = 0;
};

}  // namespace orv
