// The microphone level meter of the settings dialog's audio page: a thread
// records from the chosen microphone and keeps a smoothed power of the
// samples; every 13th buffer it shows the level in decibels and sets the
// microphone's input level to the dialog's "Mic gain".
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/audio_device.hpp"

namespace orv {

inline constexpr int kLevelMeterBuffers = 13;  // buffers between two readings
inline constexpr int kLevelFloorDb = -60;
inline constexpr int kLevelRedDb = -11;        // from here up the bar is red
inline constexpr auto kLevelMeterOpenFailureWait = std::chrono::milliseconds(300);
inline constexpr auto kLevelMeterStopWait = std::chrono::milliseconds(1000);

struct LevelReading {
  int decibels = kLevelFloorDb;  // -60..0
  int bar = 0;                   // the bar's value, decibels + 60 (range 0..60)
  bool red = false;              // decibels >= -11; green below
  std::string text;              // "%d dB"
  bool operator==(const LevelReading&) const = default;
};

// The reading of a power p (full scale 1): the integer part of
// 10·log10(p), limited to -60..0; -60 when p is 0.
LevelReading LevelReadingOf(double power);

// The smoothed power: p ← p + (s² / 2^30 − p) × 0.01 for every sample s.
class LevelPower {
 public:
  // Takes one buffer; every 13th gives the reading.
  std::optional<LevelReading> AddBuffer(const int16_t* samples, size_t count);
  double power() const { return power_; }

 private:
  double power_ = 0.0;
  int buffers_ = 0;
};

struct LevelMeterSetup {
  std::shared_ptr<AudioBackend> backend;
  uint32_t device = kDefaultAudioDevice;  // the microphone
  // The "Mic gain" (0..100), read at every reading.
  std::function<uint16_t()> mic_level;
  // Each reading, on the meter thread.
  std::function<void(const LevelReading&)> shown;
  // How long the thread waits before it ends when a device cannot be opened.
  std::chrono::milliseconds open_failure_wait = kLevelMeterOpenFailureWait;
};

class LevelMeter {
 public:
  // Starts the meter thread.
  explicit LevelMeter(LevelMeterSetup setup);
  // Stop().
  ~LevelMeter();
  LevelMeter(const LevelMeter&) = delete;
  LevelMeter& operator=(const LevelMeter&) = delete;

  // Another microphone: the thread closes the device and opens this one.
  void SelectDevice(uint32_t device);

  // Ends the thread, waiting for it up to 1000 ms. A thread that is still
  // inside the sound system then is left to end on its own, and shows
  // nothing more. True when it ended in time.
  bool Stop();

  // False once the thread ended (stopped, or a device failed to open).
  bool running() const;
  // Buffers measured so far.
  uint64_t buffers() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace orv
