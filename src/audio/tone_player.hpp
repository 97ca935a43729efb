// The tone thread of the ring window: checks a built-in tone, opens the
// speaker with the tone's channel count and rate at the `RingVolume` level
// and plays the tone over and over until it is told to stop. A missing or
// malformed tone plays nothing.
#pragma once

#include <atomic>
#include <memory>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>

#include "audio/audio_device.hpp"
#include "audio/tones.hpp"

namespace orv {

// The thread's body. False when the tone fails its checks (nothing opened).
bool PlayTone(AudioBackend& backend, uint32_t device, const ToneResource& tone, uint16_t ring_volume,
              std::stop_token stop);

// The volume of a sound test, 0..100, read again for every block.
using VolumeSource = std::function<uint16_t()>;

// The sound test's body: checks the tone, opens the speaker with its
// channel count and rate and plays it once at `volume`, then lets the
// queued blocks play out. False when the tone fails its checks (nothing
// opened).
bool PlayToneOnce(AudioBackend& backend, uint32_t device, const ToneResource& tone, const VolumeSource& volume,
                  std::stop_token stop);

// The "Test" buttons of the settings dialog: a short-lived thread plays
// the tone named `name` ("waveTest", "waveRing") once.
class SoundTest {
 public:
  SoundTest(std::shared_ptr<AudioBackend> backend, uint32_t device, std::string name, VolumeSource volume);
  // Stops the sound and waits for the thread.
  ~SoundTest() = default;
  SoundTest(const SoundTest&) = delete;
  SoundTest& operator=(const SoundTest&) = delete;

  bool finished() const { return finished_->load(); }

 private:
  std::shared_ptr<AudioBackend> keep_;
  std::shared_ptr<std::atomic<bool>> finished_ = std::make_shared<std::atomic<bool>>(false);
  std::jthread thread_;  // last: stops before the sound system may go
};

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
