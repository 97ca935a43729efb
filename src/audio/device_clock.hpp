// One thread that drives every WAV-file device of a backend on its pace
// clock: each device finishes a block whenever its block time has passed.
// Playback devices go before capture devices at the same instant, so an
// echo path sees what was played before the microphone block is made.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/pace_clock.hpp"

namespace orv {

class ClockedDevice {
 public:
  virtual ~ClockedDevice() = default;
  // Finishes one block.
  virtual void Tick() = 0;
};

class DeviceClock {
 public:
  explicit DeviceClock(std::shared_ptr<PaceClock> clock);
  ~DeviceClock();
  DeviceClock(const DeviceClock&) = delete;
  DeviceClock& operator=(const DeviceClock&) = delete;

  // Starts ticking `device` every `frames` frames at `rate`, first one block
  // time from now. Returns the clock time of the start.
  int64_t Attach(ClockedDevice* device, bool playback, uint32_t frames, uint32_t rate);
  // After it returns, `device` is never ticked again.
  void Detach(ClockedDevice* device);
  PaceClock& clock() { return *clock_; }

 private:
  struct Entry {
    ClockedDevice* device;
    bool playback;
    int64_t start;
    uint64_t blocks;  // finished so far
    uint64_t period_numerator;  // frames × 1e9
    uint32_t rate;
    int64_t Due() const;
  };
  void Run(std::stop_token stop);
  int64_t NextDue();
  void TickDue(int64_t now);

  std::shared_ptr<PaceClock> clock_;
  std::mutex mutex_;  // guards the entries; held while a device ticks
  std::vector<Entry> entries_;
  std::jthread thread_;
};

}  // namespace orv
