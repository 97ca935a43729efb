#include "app/settings_dialog_model.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace orv {
namespace {

// A sound system with named devices; nothing it opens runs.
class NamedDevices final : public AudioBackend {
 public:
  std::vector<std::string> capture = {"USB Headset Microphone", "Built-in Microphone"};
  std::vector<std::string> playback = {"USB Headset", "Built-in Speakers"};
  std::unique_ptr<AudioCapture> OpenCapture(uint32_t) override { return std::make_unique<AudioCapture>(); }
  std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t, uint16_t c, uint32_t r) override {
    return std::make_unique<AudioPlayback>(c, r);
  }
  uint32_t FindCaptureDevice(std::string_view name) override { return Find(capture, name); }
  uint32_t FindPlaybackDevice(std::string_view name) override { return Find(playback, name); }
  std::vector<std::string> CaptureDeviceNames() const override { return capture; }
  std::vector<std::string> PlaybackDeviceNames() const override { return playback; }

 private:
  static uint32_t Find(const std::vector<std::string>& names, std::string_view name) {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return static_cast<uint32_t>(i + 10);  // numbered its own way
    return kDefaultAudioDevice;
  }
};

TEST(SettingsDialogModel, StoredDeviceNamesSelectTheirEntryOrDefault) {
  struct Case {
    const char* microphone;
    const char* speaker;
    size_t microphone_entry, speaker_entry;
  };
  const Case cases[] = {
      {"default", "default", 0, 0},
      {"Built-in Microphone", "USB Headset", 2, 1},
      {"built-in mic", "BUILT-IN", 2, 2},          // the first entry the name begins, any letter case
      {"Gone Microphone", "Old Speakers", 0, 0},   // no longer there: "default"
      {"Microphone", "Speakers", 0, 0},            // a name inside another's is no prefix
  };
  auto backend = std::make_shared<NamedDevices>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.microphone);
    Settings live;
    live.Microphone = c.microphone;
    live.Speaker = c.speaker;
    SettingsDialogModel model(live, SettingsDialogServices{backend, nullptr, nullptr});
    EXPECT_EQ(model.microphones(), (std::vector<std::string>{"default", "USB Headset Microphone", "Built-in Microphone"}));
    EXPECT_EQ(model.speakers(), (std::vector<std::string>{"default", "USB Headset", "Built-in Speakers"}));
    EXPECT_EQ(model.microphone_entry(), c.microphone_entry);
    EXPECT_EQ(model.speaker_entry(), c.speaker_entry);
  }
}

TEST(SettingsDialogModel, WithoutASoundSystemTheListsHoldOnlyDefault) {
  Settings live;
  live.Microphone = "Headset";
  SettingsDialogModel model(live, SettingsDialogServices{});
  EXPECT_EQ(model.microphones(), std::vector<std::string>{"default"});
  EXPECT_EQ(model.microphone_entry(), 0u);
  model.StartMeter([](const LevelReading&) {});
  EXPECT_FALSE(model.meter_running());
  model.TestSpeaker();  // nothing to play on
}

TEST(SettingsDialogModel, ChosenDevicesGoIntoTheCopyCutTo31Characters) {
  auto backend = std::make_shared<NamedDevices>();
  backend->capture.push_back("A microphone with a very long name indeed");
  SettingsDialogModel model(Settings{}, SettingsDialogServices{backend, nullptr, nullptr});
  model.SelectMicrophone(3);
  EXPECT_EQ(model.copy().Microphone, "A microphone with a very long n");
  model.SelectSpeaker(2);
  EXPECT_EQ(model.copy().Speaker, "Built-in Speakers");
  EXPECT_EQ(model.copy().TestOutputDevice, 1);
  model.SelectSpeaker(0);
  EXPECT_EQ(model.copy().Speaker, "default");
  EXPECT_EQ(model.copy().TestOutputDevice, -1);
}

TEST(SettingsDialogModel, NumberEditsReadUnsignedWithoutRangeChecks) {
  struct Case {
    NumberField field;
    const char* text;
    uint32_t stored;
  };
  const Case cases[] = {
      {NumberField::kLocalPort, "31266", 31266},
      {NumberField::kLocalPort, "70000", 4464},  // the low 16 bits
      {NumberField::kRemotePort, " 65536 ", 0},
      {NumberField::kLogSize, "0", 0},
      {NumberField::kLogSize, "4294967295", 4294967295u},
      {NumberField::kAwayTimeout, "-5", 0},     // no sign in an unsigned field
      {NumberField::kAwayTimeout, "12abc", 0},
      {NumberField::kPasswordTime, "4294967296", 0},  // beyond 32 bits
      {NumberField::kPasswordTime, "", 0},
      {NumberField::kPasswordTime, "30", 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SettingsDialogModel model(Settings{}, SettingsDialogServices{});
    model.ReadNumber(c.field, c.text);
    const Settings& s = model.copy();
    const uint32_t stored = c.field == NumberField::kLocalPort    ? s.LocalPort
                            : c.field == NumberField::kRemotePort ? s.RemotePort
                            : c.field == NumberField::kLogSize    ? static_cast<uint32_t>(s.LogSize)
                            : c.field == NumberField::kAwayTimeout ? static_cast<uint32_t>(s.AwayTimeout)
                                                                  : s.Time;
    EXPECT_EQ(stored, c.stored);
    EXPECT_EQ(model.NumberText(c.field), std::to_string(c.stored));
  }
}

TEST(SettingsDialogModel, OkAppliesTheCopyAndCancelDropsItButAgcClicksActAtOnce) {
  std::optional<Settings> applied;
  std::vector<bool> gains;
  SettingsDialogServices services{nullptr, [&gains](bool on) { gains.push_back(on); },
                                  [&applied](const Settings& s) { applied = s; }};
  Settings live;
  {
    SettingsDialogModel model(live, services);
    model.SetVolume(10);
    model.SetMicLevel(20);
    model.SetRingVolume(30);
    model.ClickAutomaticGain(false);
    model.ReadPath(&Settings::Log, std::string(300, 'x'));
    EXPECT_EQ(model.copy().Log.size(), 259u);
    model.Reject();
  }
  EXPECT_FALSE(applied);
  EXPECT_EQ(gains, std::vector<bool>{false});
  {
    SettingsDialogModel model(live, services);
    model.SetVolume(10);
    model.SetRingVolume(30);
    model.Accept();
  }
  ASSERT_TRUE(applied);
  EXPECT_EQ(applied->Volume, 10);
  EXPECT_EQ(applied->MicLevel, 66);
  EXPECT_EQ(applied->RingVolume, 30);
  EXPECT_TRUE(applied->AGC);
}

}  // namespace
}  // namespace orv
