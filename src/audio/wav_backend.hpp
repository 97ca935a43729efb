// The WAV-file sound system: the microphone reads a 16 kHz mono file at the
// pace of its clock (looping, or silence once it ends), the speaker writes
// what it plays into a file at the same pace, so that the file is a true
// timeline of the call. An optional echo path feeds the speaker back into
// the microphone. Used by orvd and by the tests that measure what arrives.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_device.hpp"
#include "audio/device_clock.hpp"
#include "audio/echo_path.hpp"
#include "audio/pace_clock.hpp"
#include "audio/wave_format.hpp"

namespace orv {

struct WavBackendOptions {
  std::string capture_file;   // empty: the microphone hears silence
  bool capture_loop = false;  // start the file again at its end
  std::string playback_file;  // empty: what is played goes nowhere
  // Echo path from the speaker into the microphone; off when gain is 0.
  uint32_t echo_delay_ms = 0;
  double echo_gain = 0.0;
  std::shared_ptr<PaceClock> clock;  // null: real time
};

class WavAudioBackend : public AudioBackend {
 public:
  // Nothing (and `error` set) when the capture file cannot be read.
  static std::unique_ptr<WavAudioBackend> Create(WavBackendOptions options, std::string& error);
  ~WavAudioBackend() override;

  std::unique_ptr<AudioCapture> OpenCapture(uint32_t device) override;
  std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t device, uint16_t channels, uint32_t rate) override;
  uint32_t FindCaptureDevice(std::string_view name) override;
  uint32_t FindPlaybackDevice(std::string_view name) override;

  // Clock times (ns) at which the capture file's first sample was heard and
  // the playback file's first sample was played; nothing before the first open.
  std::optional<int64_t> capture_started() const;
  std::optional<int64_t> playback_started() const;
  // Closes the playback file so that it can be read; later playback is lost.
  void FinishPlaybackFile();

  // Shared with the device streams.
  struct State;

 private:
  explicit WavAudioBackend(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

}  // namespace orv
