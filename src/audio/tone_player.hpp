// The tone thread of the ring window: checks a built-in tone, opens the
// speaker with the tone's channel count and rate at the `RingVolume` level
// and plays the tone over and over until it is told to stop. A missing or
// malformed tone plays nothing.
#pragma once

#include <atomic>
#include <memory>
#include <cstdint>
#include <stop_token>
#include <string>
#include <thread>

#include "audio/audio_device.hpp"
#include "audio/tones.hpp"

namespace orv {

// The thread's body. False when the tone fails its checks (nothing opened).
bool PlayTone(AudioBackend& backend, uint32_t device, const ToneResource& tone, uint16_t ring_volume,
              std::stop_token stop);

class TonePlayer {
 public:
  // Starts the tone thread for the tone named `name` ("waveDial", "waveRing", ...).
  TonePlayer(AudioBackend& backend, uint32_t device, std::string name, uint16_t ring_volume);
  // The same, keeping the sound system alive while the tone plays.
  TonePlayer(std::shared_ptr<AudioBackend> backend, uint32_t device, std::string name, uint16_t ring_volume);
  // Stops the thread and waits for it.
  ~TonePlayer() = default;
  TonePlayer(const TonePlayer&) = delete;
  TonePlayer& operator=(const TonePlayer&) = delete;

  void Stop() { thread_.request_stop(); }

 private:
  std::shared_ptr<AudioBackend> keep_;
  std::jthread thread_;  // last: stops before the sound system may go
};

}  // namespace orv
