#include "audio/device_clock.hpp"

#include <algorithm>

namespace orv {
namespace {

constexpr int64_t kIdleWait = 20'000'000;  // ns between looks when no device runs

}  // namespace

int64_t DeviceClock::Entry::Due() const {
  return start + static_cast<int64_t>((blocks + 1) * period_numerator / rate);
}

DeviceClock::DeviceClock(std::shared_ptr<PaceClock> clock)
    : clock_(std::move(clock)), thread_([this](std::stop_token stop) { Run(stop); }) {}

DeviceClock::~DeviceClock() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

int64_t DeviceClock::Attach(ClockedDevice* device, bool playback, uint32_t frames, uint32_t rate) {
  const int64_t now = clock_->Now();
  std::lock_guard<std::mutex> hold(mutex_);
  entries_.push_back(Entry{device, playback, now, 0, static_cast<uint64_t>(frames) * 1'000'000'000ull, rate});
  return now;
}

void DeviceClock::Detach(ClockedDevice* device) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::erase_if(entries_, [device](const Entry& e) { return e.device == device; });
}

int64_t DeviceClock::NextDue() {
  std::lock_guard<std::mutex> hold(mutex_);
  int64_t due = clock_->Now() + kIdleWait;
  for (const Entry& e : entries_) due = std::min(due, e.Due());
  return due;
}

void DeviceClock::TickDue(int64_t now) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (bool playback : {true, false}) {
    for (Entry& e : entries_) {
      if (e.playback != playback) continue;
      while (e.Due() <= now) {
        e.device->Tick();
        ++e.blocks;
      }
    }
  }
}

void DeviceClock::Run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    if (!clock_->WaitUntil(NextDue(), stop)) return;
    TickDue(clock_->Now());
  }
}

}  // namespace orv
