#include "transfer/blocks_in_flight.hpp"

namespace orv {

FlightBlock& BlocksInFlight::Add(uint64_t block) {
  uint32_t at = 0;
  if (free_.empty()) {
    at = static_cast<uint32_t>(pool_.size());
    pool_.emplace_back();
  } else {
    at = free_.back();
    free_.pop_back();
  }
  index_[block] = at;
  FlightBlock& b = pool_[at];
  b.block = block;
  b.length = 0;
  b.sequence = 0;
  b.sends = 0;
  return b;
}

FlightBlock* BlocksInFlight::Find(uint64_t block) {
  const auto it = index_.find(block);
  return it == index_.end() ? nullptr : &pool_[it->second];
}

void BlocksInFlight::Remove(uint64_t block) {
  const auto it = index_.find(block);
  if (it == index_.end()) return;
  free_.push_back(it->second);
  index_.erase(it);
  // Its places in the order are skipped once they reach the front.
  while (!order_.empty() && !Find(order_.front().block)) order_.pop_front();
}

void BlocksInFlight::Sent(FlightBlock& b, uint64_t tick, uint64_t now_us) {
  b.sequence = ++sequence_;
  b.sent_tick = tick;
  b.sent_us = now_us;
  ++b.sends;
  order_.push_back({b.block, b.sequence});
}

FlightBlock* BlocksInFlight::Oldest() {
  while (!order_.empty()) {
    FlightBlock* b = Find(order_.front().block);
    if (b && b->sequence == order_.front().sequence) return b;
    order_.pop_front();
  }
  return nullptr;
}

}  // namespace orv
