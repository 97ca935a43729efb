#include "gui/settings_dialog.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_apply.hpp"
#include "audio/pace_clock.hpp"
#include "audio/wav_backend.hpp"
#include "gui/main_window.hpp"
#include "support/dead_audio_backend.hpp"
#include "support/recording_settings_program.hpp"

namespace orv {
namespace {

// A sound system with named devices; what it opens never runs.
class NamedDevices final : public test::DeadAudioBackend {
 public:
  std::vector<std::string> CaptureDeviceNames() const override { return {"USB Headset Mic", "Built-in Mic"}; }
  std::vector<std::string> PlaybackDeviceNames() const override { return {"USB Headset", "Built-in Speakers"}; }
};

Settings Live() {
  Settings live;
  live.Key = "/p/orv.key";
  live.Log = "/p/log.txt";
  live.Users = "/p/user.xml";
  return live;
}

template <typename W>
W* Find(QDialog& dialog, const char* name) {
  W* widget = dialog.findChild<W*>(name);
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

void Press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
  dialog.findChild<QDialogButtonBox*>()->button(which)->click();
}

TEST(SettingsDialog, FiveTabsWithTheirLabels) {
  SettingsDialog dialog(Live(), SettingsDialogServices{});
  EXPECT_EQ(dialog.windowTitle(), "Settings");
  QStringList titles;
  for (int i = 0; i < dialog.tabs()->count(); ++i) titles << dialog.tabs()->tabText(i);
  EXPECT_EQ(titles, (QStringList{"File", "Network", "Privacy", "User", "Audio"}));
  EXPECT_EQ(dialog.tabs()->currentIndex(), 0);
  QStringList texts;
  for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) texts << button->text();
  for (const char* text :
       {"Key file:", "Network file:", "Contacts file:", "Seed file:", "Log file:", "Log to File", "Max log size (Mb)",
        "Downloads path:", "Downloads file:", "Receive files automatically", "Local Port:", "Remote Port:",
        "Enable UPnP", "Remove UPnP port forwardings on exit", "Use nearest available port for UPnP",
        "Use random port for UPnP", "Allow text and voice from anyone", "Show communication requests",
        "Accept file transfer from anyone", "Save chat messages to file", "Switch to away automatically after (min)",
        "Remember password for (min):", "Remember password forever", "Start ORV when I log in",
        "Prevent the computer from sleeping", "Open port in the firewall", "Show splash window", "Microphone:",
        "Mic gain", "AGC", "Speaker:", "Spkr volume", "Call volume", "Test", "..."})
    EXPECT_TRUE(texts.contains(text)) << text;
}

// OK reads every page back and applies the copy: only the effects of what
// changed, in their order, and the switches every OK sets again.
TEST(SettingsDialog, OkAppliesExactlyTheChangedEffectsInOrder) {
  const Settings live = Live();
  test::RecordingProgram program;
  SettingsDialogServices services;
  services.apply = [&](const Settings& edited) { ApplyEditedSettings(program, program, live, edited); };
  SettingsDialog dialog(live, services);
  dialog.show();
  Find<QCheckBox>(dialog, "AllowAnyone")->click();
  QLineEdit* remote = Find<QLineEdit>(dialog, "RemotePort");
  remote->clear();
  QTest::keyClicks(remote, "40000");
  Find<QLineEdit>(dialog, "Log")->setText("/p/other.txt");
  Find<QCheckBox>(dialog, "PreventSleep")->click();
  Press(dialog, QDialogButtonBox::Ok);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(program.events, (std::vector<std::string>{"map 40000", "reopen log /p/other.txt 0", "agc 1", "replace",
                                                      "audio default", "autostart 0", "prevent sleep 1",
                                                      "close firewall 31265"}));
  Settings expected = live;
  expected.AllowAnyone = false;
  expected.RemotePort = 40000;
  expected.Log = "/p/other.txt";
  expected.PreventSleep = true;
  EXPECT_EQ(program.replaced, expected);
}

TEST(SettingsDialog, NumberEditsTakeDigitsAndPortsKeepTheirLow16Bits) {
  std::optional<Settings> applied;
  SettingsDialogServices services;
  services.apply = [&applied](const Settings& s) { applied = s; };
  SettingsDialog dialog(Live(), services);
  QLineEdit* local = Find<QLineEdit>(dialog, "LocalPort");
  local->clear();
  QTest::keyClicks(local, "70-000");  // the dash is not taken
  EXPECT_EQ(local->text(), "70000");
  Press(dialog, QDialogButtonBox::Ok);
  ASSERT_TRUE(applied);
  EXPECT_EQ(applied->LocalPort, 4464);
}

TEST(SettingsDialog, CancelAfterMovingTheSlidersLeavesTheLevelsAsTheyWere) {
  bool applied = false;
  SettingsDialogServices services;
  services.apply = [&applied](const Settings&) { applied = true; };
  SettingsDialog dialog(Live(), services);
  dialog.show();
  dialog.tabs()->setCurrentIndex(4);
  Find<QSlider>(dialog, "Volume")->setValue(5);
  Find<QSlider>(dialog, "MicLevel")->setValue(15);
  Find<QSlider>(dialog, "RingVolume")->setValue(95);
  // The copy follows the sliders as they move...
  EXPECT_EQ(dialog.model().copy().Volume, 5);
  EXPECT_EQ(dialog.model().copy().MicLevel, 15);
  EXPECT_EQ(dialog.model().copy().RingVolume, 95);
  Press(dialog, QDialogButtonBox::Cancel);
  // ...and goes with Cancel.
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(applied);
}

TEST(SettingsDialog, AMissingMicrophoneSelectsDefault) {
  Settings live = Live();
  live.Microphone = "Gone Microphone";
  live.Speaker = "built-in";
  SettingsDialog dialog(live, SettingsDialogServices{std::make_shared<NamedDevices>(), nullptr, nullptr});
  QComboBox* mic = Find<QComboBox>(dialog, "Microphone");
  QComboBox* speaker = Find<QComboBox>(dialog, "Speaker");
  EXPECT_EQ(mic->count(), 3);
  EXPECT_EQ(mic->currentText(), "default");
  EXPECT_EQ(speaker->currentText(), "Built-in Speakers");
}

// The lists are read back only from a page that was shown: a missing
// microphone stays as stored until the audio tab has been seen, and is
// then "default", as the list shows.
TEST(SettingsDialog, TheDeviceListsAreReadBackOnlyWhenTheAudioTabWasShown) {
  Settings live = Live();
  live.Microphone = "Gone Microphone";
  live.Speaker = "built-in";
  for (const bool shown : {false, true}) {
    std::optional<Settings> applied;
    SettingsDialogServices services{std::make_shared<NamedDevices>(), nullptr,
                                    [&applied](const Settings& s) { applied = s; }};
    SettingsDialog dialog(live, services);
    dialog.show();
    if (shown) dialog.tabs()->setCurrentIndex(4);
    Press(dialog, QDialogButtonBox::Ok);
    ASSERT_TRUE(applied);
    EXPECT_EQ(applied->Microphone, shown ? "default" : "Gone Microphone");
    EXPECT_EQ(applied->Speaker, shown ? "Built-in Speakers" : "built-in");
  }
}

TEST(SettingsDialog, RememberForeverDisablesTheMinutesAtOnce) {
  SettingsDialog dialog(Live(), SettingsDialogServices{});
  dialog.show();
  QLineEdit* minutes = Find<QLineEdit>(dialog, "Time");
  QCheckBox* forever = Find<QCheckBox>(dialog, "Remember");
  EXPECT_TRUE(minutes->isEnabled());
  forever->click();
  EXPECT_FALSE(minutes->isEnabled());
  forever->click();
  EXPECT_TRUE(minutes->isEnabled());
}

TEST(SettingsDialog, AgcClicksReachTheCallAtOnceEvenWhenCancelled) {
  std::vector<bool> clicks;
  SettingsDialogServices services;
  services.automatic_gain_click = [&clicks](bool on) { clicks.push_back(on); };
  SettingsDialog dialog(Live(), services);
  dialog.show();
  dialog.tabs()->setCurrentIndex(4);
  Find<QCheckBox>(dialog, "AGC")->click();
  Press(dialog, QDialogButtonBox::Cancel);
  EXPECT_EQ(clicks, std::vector<bool>{false});
}

// The audio tab shows the meter of the chosen microphone: a silent one
// reads -60 dB, green, an empty bar.
TEST(SettingsDialog, TheAudioTabShowsTheMicrophoneLevel) {
  auto clock = std::make_shared<ManualPaceClock>();
  WavBackendOptions options;
  options.clock = clock;
  std::string error;
  std::shared_ptr<AudioBackend> wav = WavAudioBackend::Create(options, error);
  ASSERT_TRUE(wav) << error;
  SettingsDialog dialog(Live(), SettingsDialogServices{wav, nullptr, nullptr});
  dialog.show();
  QLabel* text = Find<QLabel>(dialog, "LevelText");
  EXPECT_TRUE(text->text().isEmpty());
  dialog.tabs()->setCurrentIndex(4);
  EXPECT_TRUE(dialog.model().meter_running());
  for (int k = 0; k < 2000 && text->text().isEmpty(); ++k) {
    clock->Advance(20'000'000);
    QTest::qWait(1);
  }
  EXPECT_EQ(text->text(), "-60 dB");
  EXPECT_EQ(Find<QProgressBar>(dialog, "LevelMeter")->value(), 0);
  Press(dialog, QDialogButtonBox::Cancel);
  EXPECT_FALSE(dialog.model().meter_running());
}

TEST(SettingsDialog, TheSettingsCommandRunsTheDialogOverTheMainWindow) {
  MainWindow window(MainWindowActions{});
  QWidget* owner = nullptr;
  window.SetSettingsDialog([&owner](QWidget* o) { owner = o; });
  window.OpenAppWindow(AppWindow::kSettings, true);
  EXPECT_EQ(owner, &window);
}

}  // namespace
}  // namespace orv
