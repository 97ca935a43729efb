#include "app/settings_dialog_model.hpp"

#include <algorithm>

#include "audio/device_list.hpp"
#include "settings/settings_keys.hpp"

namespace orv {
namespace {

uint16_t Level(int32_t level) { return static_cast<uint16_t>(std::clamp(level, 0, 100)); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

uint32_t ReadDialogNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty()) return 0;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<uint32_t>(value);
}

SettingsDialogModel::SettingsDialogModel(const Settings& live, SettingsDialogServices services)
    : copy_(live), services_(std::move(services)) {
  std::vector<std::string> capture_names;
  std::vector<std::string> playback_names;
  if (services_.audio) {
    capture_names = services_.audio->CaptureDeviceNames();
    playback_names = services_.audio->PlaybackDeviceNames();
  }
  microphones_ = DeviceListEntries(capture_names);
  speakers_ = DeviceListEntries(playback_names);
  microphone_entry_ = SelectDeviceEntry(microphones_, copy_.Microphone);
  speaker_entry_ = SelectDeviceEntry(speakers_, copy_.Speaker);
  levels_->volume = copy_.Volume;
  levels_->mic_level = copy_.MicLevel;
  levels_->ring_volume = copy_.RingVolume;
}

SettingsDialogModel::~SettingsDialogModel() {
  StopMeter();
  tests_.clear();
}

void SettingsDialogModel::ReadPath(std::string Settings::*field, std::string_view text) {
  copy_.*field = CutToCharacters(text, kDialogPathCharacters);
}

void SettingsDialogModel::ReadNumber(NumberField field, std::string_view text) {
  const uint32_t value = ReadDialogNumber(text);
  switch (field) {
    case NumberField::kLogSize: copy_.LogSize = static_cast<int32_t>(value); break;
    case NumberField::kLocalPort: copy_.LocalPort = static_cast<uint16_t>(value); break;
    case NumberField::kRemotePort: copy_.RemotePort = static_cast<uint16_t>(value); break;
    case NumberField::kAwayTimeout: copy_.AwayTimeout = static_cast<int32_t>(value); break;
    case NumberField::kPasswordTime: copy_.Time = value; break;
  }
}

std::string SettingsDialogModel::NumberText(NumberField field) const {
  switch (field) {
    case NumberField::kLogSize: return std::to_string(static_cast<uint32_t>(copy_.LogSize));
    case NumberField::kLocalPort: return std::to_string(copy_.LocalPort);
    case NumberField::kRemotePort: return std::to_string(copy_.RemotePort);
    case NumberField::kAwayTimeout: return std::to_string(static_cast<uint32_t>(copy_.AwayTimeout));
    case NumberField::kPasswordTime: return std::to_string(copy_.Time);
  }
  return {};
}

void SettingsDialogModel::SelectMicrophone(size_t entry) {
  if (entry >= microphones_.size()) return;
  microphone_entry_ = entry;
  copy_.Microphone = CutToCharacters(microphones_[entry], kDeviceNameCharacters);
  if (meter_) meter_->SelectDevice(CaptureDevice(entry));
}

void SettingsDialogModel::SelectSpeaker(size_t entry) {
  if (entry >= speakers_.size()) return;
  speaker_entry_ = entry;
  copy_.Speaker = CutToCharacters(speakers_[entry], kDeviceNameCharacters);
  copy_.TestOutputDevice = static_cast<int32_t>(entry) - 1;
}

// Entry 0 is the system's default device; the others are found by their
// full name (the sound system numbers its devices its own way).
uint32_t SettingsDialogModel::CaptureDevice(size_t entry) const {
  if (entry == 0 || !services_.audio) return kDefaultAudioDevice;
  return services_.audio->FindCaptureDevice(microphones_[entry]);
}

uint32_t SettingsDialogModel::PlaybackDevice(size_t entry) const {
  if (entry == 0 || !services_.audio) return kDefaultAudioDevice;
  return services_.audio->FindPlaybackDevice(speakers_[entry]);
}

void SettingsDialogModel::SetVolume(int32_t level) {
  copy_.Volume = level;
  levels_->volume = level;
}

void SettingsDialogModel::SetMicLevel(int32_t level) {
  copy_.MicLevel = level;
  levels_->mic_level = level;
}

void SettingsDialogModel::SetRingVolume(int32_t level) {
  copy_.RingVolume = level;
  levels_->ring_volume = level;
}

void SettingsDialogModel::ClickAutomaticGain(bool on) {
  copy_.AGC = on;
  if (services_.automatic_gain_click) services_.automatic_gain_click(on);
}

void SettingsDialogModel::StartMeter(std::function<void(const LevelReading&)> shown) {
  if (meter_ || !services_.audio) return;
  LevelMeterSetup setup;
  setup.backend = services_.audio;
  setup.device = CaptureDevice(microphone_entry_);
  setup.mic_level = [levels = levels_] { return Level(levels->mic_level.load()); };
  setup.shown = std::move(shown);
  meter_ = std::make_unique<LevelMeter>(std::move(setup));
}

void SettingsDialogModel::StopMeter() {
  if (!meter_) return;
  meter_->Stop();
  meter_.reset();
}

void SettingsDialogModel::StartTest(std::string_view tone, const std::atomic<int32_t>& level) {
  if (!services_.audio) return;
  std::erase_if(tests_, [](const std::unique_ptr<SoundTest>& test) { return test->finished(); });
  const std::atomic<int32_t>* source = &level;
  tests_.push_back(std::make_unique<SoundTest>(services_.audio, PlaybackDevice(speaker_entry_), std::string(tone),
                                               [levels = levels_, source] { return Level(source->load()); }));
}

void SettingsDialogModel::TestSpeaker() { StartTest(kSpeakerTestTone, levels_->volume); }

void SettingsDialogModel::TestRing() { StartTest(kRingTestTone, levels_->ring_volume); }

void SettingsDialogModel::Accept() {
  StopMeter();
  if (services_.apply) services_.apply(copy_);
}

void SettingsDialogModel::Reject() { StopMeter(); }

}  // namespace orv
