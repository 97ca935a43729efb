#include "audio/device_selection.hpp"

#include <algorithm>

namespace orv {
namespace {

uint16_t Level(int32_t value) { return static_cast<uint16_t>(std::clamp(value, 0, 100)); }

}  // namespace

AudioDeviceSelection SelectAudioDevices(AudioBackend& backend, const Settings& settings) {
  AudioDeviceSelection selection;
  selection.input_device = backend.FindCaptureDevice(settings.Microphone);
  selection.output_device = backend.FindPlaybackDevice(settings.Speaker);
  selection.volume = Level(settings.Volume);
  selection.mic_level = Level(settings.MicLevel);
  return selection;
}

}  // namespace orv
