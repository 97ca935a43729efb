// The settings dialog's logic: a working copy of the settings that the
// five pages fill their controls from and read them back into, the device
// lists of the audio page, the level meter and the two sound tests. The
// copy replaces the live settings only on OK (`apply`); Cancel drops it.
// Only the "AGC" clicks and the microphone level the meter sets take
// effect before. Interface thread, except the level callbacks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/audio_device.hpp"
#include "audio/level_meter.hpp"
#include "audio/tone_player.hpp"
#include "settings/settings.hpp"

namespace orv {

// Longest path kept from a path field, in characters.
inline constexpr size_t kDialogPathCharacters = 259;

inline constexpr std::string_view kSpeakerTestTone = "waveTest";
inline constexpr std::string_view kRingTestTone = "waveRing";

struct SettingsDialogServices {
  // The sound system; none: the lists hold only "default", and neither
  // the meter nor the tests run.
  std::shared_ptr<AudioBackend> audio;
  // The "AGC" box was clicked: the first open call follows at once.
  std::function<void(bool on)> automatic_gain_click;
  // OK: the copy replaces the live settings (Application::ApplySettings).
  std::function<void(const Settings&)> apply;
};

// The number edits, read as unsigned numbers without any range check.
enum class NumberField { kLogSize, kLocalPort, kRemotePort, kAwayTimeout, kPasswordTime };

// The value of a number edit: decimal digits, blanks around them allowed;
// anything else, or more than 32 bits, reads as 0.
uint32_t ReadDialogNumber(std::string_view text);

class SettingsDialogModel {
 public:
  SettingsDialogModel(const Settings& live, SettingsDialogServices services);
  // Stops the meter and the tests.
  ~SettingsDialogModel();
  SettingsDialogModel(const SettingsDialogModel&) = delete;
  SettingsDialogModel& operator=(const SettingsDialogModel&) = delete;

  // The working copy: check boxes and texts are read straight into it.
  Settings& copy() { return copy_; }
  const Settings& copy() const { return copy_; }

  // A path field, cut to 259 characters.
  void ReadPath(std::string Settings::*field, std::string_view text);
  // A number edit; the ports keep the low 16 bits.
  void ReadNumber(NumberField field, std::string_view text);
  std::string NumberText(NumberField field) const;

  // The audio page's lists: "default" and then every device; the entry
  // each stored name selects.
  const std::vector<std::string>& microphones() const { return microphones_; }
  const std::vector<std::string>& speakers() const { return speakers_; }
  size_t microphone_entry() const { return microphone_entry_; }
  size_t speaker_entry() const { return speaker_entry_; }
  // Another entry chosen: its name goes into the copy (cut to 31
  // characters); a new microphone is opened by the meter, a new speaker
  // plays the tests.
  void SelectMicrophone(size_t entry);
  void SelectSpeaker(size_t entry);

  // The sliders, 0..100, as they move.
  void SetVolume(int32_t level);
  void SetMicLevel(int32_t level);
  void SetRingVolume(int32_t level);
  // The "AGC" box clicked.
  void ClickAutomaticGain(bool on);

  // The level meter runs while the audio page exists; `shown` gets every
  // reading on the meter's thread. Nothing without a sound system.
  void StartMeter(std::function<void(const LevelReading&)> shown);
  void StopMeter();
  bool meter_running() const { return meter_ != nullptr && meter_->running(); }

  // "Test" by the speaker ("waveTest" at `Volume`) and by the call volume
  // ("waveRing" at `RingVolume`), on the chosen speaker.
  void TestSpeaker();
  void TestRing();

  // OK: the meter stops and the copy is applied.
  void Accept();
  // Cancel: the meter stops and the copy is dropped.
  void Reject();

 private:
  struct Levels {
    std::atomic<int32_t> volume{0};
    std::atomic<int32_t> mic_level{0};
    std::atomic<int32_t> ring_volume{0};
  };
  uint32_t CaptureDevice(size_t entry) const;
  uint32_t PlaybackDevice(size_t entry) const;
  void StartTest(std::string_view tone, const std::atomic<int32_t>& level);

  Settings copy_;
  SettingsDialogServices services_;
  std::vector<std::string> microphones_;
  std::vector<std::string> speakers_;
  size_t microphone_entry_ = 0;
  size_t speaker_entry_ = 0;
  std::shared_ptr<Levels> levels_ = std::make_shared<Levels>();
  std::unique_ptr<LevelMeter> meter_;
  std::vector<std::unique_ptr<SoundTest>> tests_;
};

}  // namespace orv
