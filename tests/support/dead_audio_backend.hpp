// A sound system whose devices never run: what it opens is a device object
// that delivers no block. Tests derive from it to name devices or to fail
// the opening itself.
#pragma once

#include <memory>
#include <string_view>

#include "audio/audio_device.hpp"

namespace orv::test {

class DeadAudioBackend : public AudioBackend {
 public:
  std::unique_ptr<AudioCapture> OpenCapture(uint32_t) override { return std::make_unique<AudioCapture>(); }
  std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t, uint16_t channels, uint32_t rate) override {
    return std::make_unique<AudioPlayback>(channels, rate);
  }
  uint32_t FindCaptureDevice(std::string_view) override { return kDefaultAudioDevice; }
  uint32_t FindPlaybackDevice(std::string_view) override { return kDefaultAudioDevice; }
};

// A sound system that cannot even make device objects.
class UnopenableAudioBackend : public DeadAudioBackend {
 public:
  std::unique_ptr<AudioCapture> OpenCapture(uint32_t) override { return nullptr; }
  std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t, uint16_t, uint32_t) override { return nullptr; }
};

}  // namespace orv::test
