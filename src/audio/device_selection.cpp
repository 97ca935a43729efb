#include "audio/device_selection.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "settings/settings_keys.hpp"

namespace orv {
namespace {

uint16_t Level(int32_t value) { return static_cast<uint16_t>(std::clamp(value, 0, 100)); }

// A device name longer than the settings keep was stored cut to its first
// 31 characters; it still names the one device whose name begins so.
std::string FullDeviceName(const std::vector<std::string>& names, const std::string& stored) {
  if (stored.size() < kDeviceNameCharacters || std::find(names.begin(), names.end(), stored) != names.end())
    return stored;
  std::string found;
  for (const std::string& name : names) {
    if (CutToCharacters(name, kDeviceNameCharacters) != stored) continue;
    if (!found.empty()) return stored;  // two such devices: the name decides nothing
    found = name;
  }
  return found.empty() ? stored : found;
}

}  // namespace

AudioDeviceSelection SelectAudioDevices(AudioBackend& backend, const Settings& settings) {
  AudioDeviceSelection selection;
  selection.input_device = backend.FindCaptureDevice(FullDeviceName(backend.CaptureDeviceNames(), settings.Microphone));
  selection.output_device = backend.FindPlaybackDevice(FullDeviceName(backend.PlaybackDeviceNames(), settings.Speaker));
  selection.volume = Level(settings.Volume);
  selection.mic_level = Level(settings.MicLevel);
  return selection;
}

}  // namespace orv
