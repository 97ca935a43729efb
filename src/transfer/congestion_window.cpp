#include "transfer/congestion_window.hpp"

#include <algorithm>
#include <iterator>

namespace orv {
namespace {

constexpr uint64_t kTargetDelayUs = 25'000;     // queueing delay the window aims at
constexpr uint64_t kBasePeriodUs = 10'000'000;  // the base round trip is the least of two such periods
constexpr double kLossCost = 0.5;               // blocks taken off per block lost to congestion
constexpr double kLeastLossShare = 0.05;        // of that, for a loss while no queue builds
constexpr double kLossRateWeight = 0.01;        // of each block in the moving loss rate
constexpr double kLinkLossRate = 0.25;          // a lossy link both ways: 10 % of blocks and 10 % of acknowledgements, and some reordering
constexpr double kCongestedLossSpan = 0.15;     // beyond it, losses count in full this much higher
constexpr uint32_t kMaxResendTicks = 60;        // 3 s
constexpr uint64_t kTickUs = uint64_t{kTickMs} * 1000;

}  // namespace

CongestionWindow::CongestionWindow(const TransferWindow& window)
    : adaptive_(window.Adaptive()),
      floor_(std::max(window.blocks_in_flight, 1u)),
      ceiling_(std::max(window.max_blocks_in_flight, window.blocks_in_flight)),
      window_(floor_),
      threshold_(ceiling_),
      min_resend_ticks_(std::max(window.resend_ticks, 1u)),
      resend_ticks_(min_resend_ticks_) {
  std::fill(std::begin(recent_us_), std::end(recent_us_), UINT64_MAX);
}

void CongestionWindow::Clamp() { window_ = std::clamp(window_, floor_, ceiling_); }

void CongestionWindow::Measure(uint64_t now_us, uint64_t rtt) {
  if (!measured_) {
    srtt_us_ = rtt;
    rttvar_us_ = rtt / 2;
    measured_ = true;
    base_period_start_us_ = now_us;
  } else {
    const uint64_t deviation = srtt_us_ > rtt ? srtt_us_ - rtt : rtt - srtt_us_;
    rttvar_us_ = (3 * rttvar_us_ + deviation) / 4;
    srtt_us_ = (7 * srtt_us_ + rtt) / 8;
  }
  const uint64_t rto_us = srtt_us_ + std::max(kTickUs, 4 * rttvar_us_);
  const uint64_t ticks = (rto_us + kTickUs - 1) / kTickUs;
  resend_ticks_ = static_cast<uint32_t>(std::clamp<uint64_t>(ticks, min_resend_ticks_, kMaxResendTicks));

  if (now_us - base_period_start_us_ >= kBasePeriodUs) {
    base_before_us_ = base_now_us_;
    base_now_us_ = UINT64_MAX;
    base_period_start_us_ = now_us;
  }
  base_now_us_ = std::min(base_now_us_, rtt);
  recent_us_[recent_next_] = rtt;
  recent_next_ = (recent_next_ + 1) % kRecentSamples;
}

double CongestionWindow::QueueFraction() const {
  if (!measured_) return 0;
  const uint64_t base = std::min(base_now_us_, base_before_us_);
  const uint64_t recent = *std::min_element(std::begin(recent_us_), std::end(recent_us_));
  if (recent <= base) return 0;
  return static_cast<double>(recent - base) / kTargetDelayUs;
}

double CongestionWindow::LossShare() const {
  const double by_rate = (loss_rate_ - kLinkLossRate) / kCongestedLossSpan;
  const double by_queue = QueueFraction() >= 1 ? 1.0 : 0.0;
  return std::clamp(std::max(by_queue, by_rate), kLeastLossShare, 1.0);
}

void CongestionWindow::Acknowledged(uint64_t now_us, std::optional<uint64_t> round_trip_us) {
  if (!adaptive_) return;
  loss_rate_ *= 1 - kLossRateWeight;
  if (round_trip_us) Measure(now_us, *round_trip_us);
  const double queue = QueueFraction();
  if (InSlowStart() && queue <= 1) {
    window_ += 1;
    Clamp();
    return;
  }
  // A queue is building, or slow start is over: with no queue the window
  // grows by a step per round trip, one block or a sixteenth of the window
  // if more; it holds at the target and shrinks by a step at twice the
  // target and beyond.
  const double step = std::max(2.0, window_ / 16);
  window_ += std::max(1.0 - queue, -1.0) * step / window_;
  Clamp();
  threshold_ = std::min(threshold_, window_);  // slow start comes back only after a silence
}

void CongestionWindow::Lost() {
  if (!adaptive_) return;
  loss_rate_ = loss_rate_ * (1 - kLossRateWeight) + kLossRateWeight;
  window_ -= kLossCost * LossShare();
  Clamp();
  threshold_ = std::min(threshold_, window_);
}

void CongestionWindow::Silent() {
  if (!adaptive_) return;
  threshold_ = std::max(window_ / 2, floor_);
  window_ = floor_;
}

}  // namespace orv
