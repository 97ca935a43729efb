// The devices and levels chosen from the settings: the microphone and
// speaker whose names equal the `Microphone` and `Speaker` settings exactly
// (a name no device has, such as "default", picks the system's default
// device), and the `Volume` and `MicLevel` levels. A name of 31
// characters, the most the settings keep, also names the one device whose
// longer name begins with it.
#pragma once

#include <cstdint>

#include "audio/audio_device.hpp"
#include "settings/settings.hpp"

namespace orv {

struct AudioDeviceSelection {
  uint32_t input_device = kDefaultAudioDevice;
  uint32_t output_device = kDefaultAudioDevice;
  uint16_t volume = 66;     // 0..100
  uint16_t mic_level = 66;  // 0..100
};

AudioDeviceSelection SelectAudioDevices(AudioBackend& backend, const Settings& settings);

}  // namespace orv
