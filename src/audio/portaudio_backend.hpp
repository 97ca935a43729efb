// The real sound system through PortAudio: devices are found by their name,
// "default" (or any name no device has) is the system's default device.
// Each open device runs a PortAudio stream of 320-frame buffers whose
// callback finishes one block of the ring.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/audio_device.hpp"

namespace orv {

class PortAudioBackend : public AudioBackend {
 public:
  // Initialises PortAudio for as long as the backend lives. When that
  // fails, every device opens dead (the engine idles).
  PortAudioBackend();
  ~PortAudioBackend() override;
  PortAudioBackend(const PortAudioBackend&) = delete;
  PortAudioBackend& operator=(const PortAudioBackend&) = delete;

  std::unique_ptr<AudioCapture> OpenCapture(uint32_t device) override;
  std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t device, uint16_t channels, uint32_t rate) override;
  uint32_t FindCaptureDevice(std::string_view name) override;
  uint32_t FindPlaybackDevice(std::string_view name) override;

  bool initialized() const { return initialized_; }
  // Names of the devices that can record (or play), in device order.
  std::vector<std::string> CaptureDeviceNames() const override;
  std::vector<std::string> PlaybackDeviceNames() const override;

 private:
  bool initialized_ = false;
};

}  // namespace orv
