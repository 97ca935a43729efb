// The sender's congestion control: how many blocks may be in flight, and
// after how many ticks an unacknowledged block is sent again.
//
// The window starts at `blocks_in_flight` (10 blocks, what every receiver
// copes with) and never shrinks below it.
//
// - Slow start: every acknowledged block adds one block to the window, so
//   the window doubles each round trip, until the first loss or until the
//   round trip shows a queue of the target delay.
// - Then a delay target in the manner of LEDBAT: the queueing delay is the
//   recent round trip (the least of the last 32 samples, so that a busy
//   processor's hiccups and a jittery link do not count) above the least
//   round trip seen in the last 10 to 20 s. Below the 25 ms target the
//   window grows by up to a step per round trip, at the target it holds,
//   above it it shrinks by up to a step per round trip. A step is two
//   blocks, or a sixteenth of the window when that is more, so that a long
//   fast path fills within seconds. The window settles where the
//   bottleneck's queue holds about 25 ms, so the link stays busy without
//   filling its buffer.
// - Loss: a block presumed lost takes up to half a block off the window.
//   A loss while the queue is at its target is congestion and costs the
//   whole half block; so does a loss rate beyond what a lossy link shows
//   (past 25 % of the recent blocks, in full at 40 %; a lost
//   acknowledgement counts as a loss too): a buffer without delay that
//   overflows, a receiver that cannot keep up. Losses while no queue builds
//   and the rate stays low are the link's own (radio, a lossy hop) and cost
//   a twentieth, so a link that loses one datagram in ten at random is
//   still filled. The delay target does the work of keeping queues short.
// - A whole resend time-out without any acknowledgement collapses the window
//   to the floor and halves the slow start threshold, as TCP does; the
//   window then grows back by slow start.
//
// The resend time-out follows the measured round trip as TCP computes it
// (smoothed round trip plus four times its variance; samples only from
// blocks sent once), in ticks, never below `resend_ticks` (250 ms) and never
// above 3 s. Without samples it is `resend_ticks`.
//
// A fixed window (`max_blocks_in_flight` equal to `blocks_in_flight`) stays
// as it is: `blocks_in_flight` blocks, each resent after `resend_ticks`.
#pragma once

#include <cstdint>
#include <optional>

#include "transfer/transfer_window.hpp"

namespace orv {

class CongestionWindow {
 public:
  explicit CongestionWindow(const TransferWindow& window = {});

  // Blocks that may be unacknowledged at once.
  uint32_t Blocks() const { return static_cast<uint32_t>(window_); }
  // Ticks a block waits for its acknowledgement before it is sent again.
  uint32_t ResendTicks() const { return resend_ticks_; }
  bool InSlowStart() const { return window_ < threshold_; }
  // The smoothed round trip in microseconds, 0 before the first sample.
  uint64_t SmoothedRoundTripUs() const { return srtt_us_; }
  uint64_t RoundTripVariationUs() const { return rttvar_us_; }

  // A block was acknowledged for the first time, `now_us` on a monotonic
  // clock; `round_trip_us` when the block was sent only once.
  void Acknowledged(uint64_t now_us, std::optional<uint64_t> round_trip_us);
  // A block is presumed lost and sent again.
  void Lost();
  // Nothing was acknowledged for a whole resend time-out.
  void Silent();

 private:
  void Measure(uint64_t now_us, uint64_t round_trip_us);
  double QueueFraction() const;  // queueing delay / target, or 0 without samples
  double LossShare() const;      // how much of a loss counts as congestion, 0.1 to 1
  void Clamp();

  bool adaptive_;
  double floor_;
  double ceiling_;
  double window_;
  double threshold_;  // slow start below it
  uint32_t min_resend_ticks_;
  uint32_t resend_ticks_;

  uint64_t srtt_us_ = 0;
  uint64_t rttvar_us_ = 0;
  bool measured_ = false;
  // The least round trip of this and the previous 10 s period.
  uint64_t base_now_us_ = UINT64_MAX;
  uint64_t base_before_us_ = UINT64_MAX;
  uint64_t base_period_start_us_ = 0;
  // The last samples: their least is the recent round trip. Enough of
  // them that a jittery link (radio) does not look like a queue.
  static constexpr uint32_t kRecentSamples = 32;
  uint64_t recent_us_[kRecentSamples];
  uint32_t recent_next_ = 0;
  double loss_rate_ = 0;  // of the recent blocks, lost (moving average)
};

}  // namespace orv
