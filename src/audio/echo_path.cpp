#include "audio/echo_path.hpp"

#include <algorithm>
#include <cmath>

namespace orv {
namespace {

constexpr size_t kSlack = 16000;  // a second of playback with no microphone to hear it

}  // namespace

EchoPath::EchoPath(uint32_t delay_samples, double gain)
    : fifo_(delay_samples + kSlack, 0), size_(delay_samples),
      gain_q15_(static_cast<int32_t>(std::lround(std::clamp(gain, 0.0, 1.0) * 32768.0))) {}

void EchoPath::Played(const int16_t* samples, size_t count) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (size_t i = 0; i < count; ++i) {
    if (size_ == fifo_.size()) {  // nobody listens: forget the oldest
      head_ = (head_ + 1) % fifo_.size();
      --size_;
    }
    fifo_[(head_ + size_) % fifo_.size()] = samples[i];
    ++size_;
  }
}

void EchoPath::AddEcho(int16_t* samples, size_t count) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (size_t i = 0; i < count && size_ > 0; ++i) {
    const int32_t echo = (static_cast<int32_t>(fifo_[head_]) * gain_q15_) >> 15;
    head_ = (head_ + 1) % fifo_.size();
    --size_;
    samples[i] = static_cast<int16_t>(std::clamp<int32_t>(samples[i] + echo, -32768, 32767));
  }
}

}  // namespace orv
