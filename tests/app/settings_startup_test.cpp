#include "app/settings_startup.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "support/temp_dir.hpp"
#include "app/event_log.hpp"
#include "app/recording_log_sink.hpp"
#include "app/scripted_ui_port.hpp"

namespace orv {
namespace {

using test::TempDir;
using test::WriteWholeFile;
using Effect = ScriptedUiPort::Effect;

class SettingsStartupTest : public ::testing::Test {
 protected:
  SettingsStartupTest() {
    paths_.profile_dir = dir_ / "profile";
    paths_.settings_file = paths_.profile_dir + "/orv.set";
    paths_.download_dir = dir_ / "Downloads";
    autostart_ = {dir_ / "config", "/usr/bin/orv", ""};
    // A log that exists already, so that what load logs can be seen.
    LogOptions options;
    options.sink = sink_;
    Settings no_file;
    no_file.EnableLog = false;
    CreateLog(std::move(options), no_file);
  }
  ~SettingsStartupTest() override { CloseLog(); }

  void WriteSettingsFile(const std::string& text) {
    std::filesystem::create_directories(paths_.profile_dir);
    WriteWholeFile(paths_.settings_file, text);
  }

  KeyGenerator Generator(bool writes) {
    return [this, writes](const std::string& key_file) {
      generated_for_.push_back(key_file);
      return writes;
    };
  }

  TempDir dir_;
  ProfilePaths paths_;
  AutostartEntry autostart_;
  ScriptedUiPort ui_;
  std::shared_ptr<RecordingLogSink> sink_ = std::make_shared<RecordingLogSink>();
  std::vector<std::string> generated_for_;
};

TEST_F(SettingsStartupTest, MissingFileOffersKeyGenerationWithTheDefaultKeyFile) {
  struct Case {
    bool yes;
    bool writes;
    size_t generated;
    size_t logged;
  } cases[] = {
      {false, true, 0, 0},  // No: nothing more happens
      {true, true, 1, 0},
      {true, false, 1, 1},  // no key: "Key was not generated"
  };
  for (const Case& c : cases) {
    ScriptedUiPort ui;
    ui.AnswerYesNo(c.yes);
    generated_for_.clear();
    const size_t rows_before = sink_->rows().size();
    const SettingsRead read = LoadSettings(ui, paths_, autostart_, Generator(c.writes));

    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0], (ScriptedUiPort::Message{"Warning",
                                                         "Can't find settings file:\n" + paths_.settings_file +
                                                             "\nDefault settings will be used.\n"
                                                             "Do you want to generate key file now?",
                                                         MessageIcon::kWarning, true}));
    ASSERT_EQ(generated_for_.size(), c.generated);
    if (c.generated) {
      EXPECT_EQ(generated_for_[0], paths_.profile_dir + "/orv.key");
    }
    const auto rows = sink_->rows();
    ASSERT_EQ(rows.size() - rows_before, c.logged);
    if (c.logged) {
      EXPECT_EQ(rows.back().source, "Key & Password");
      EXPECT_EQ(rows.back().message, "Key was not generated");
    }
    EXPECT_EQ(read.settings.LocalPort, 31265);  // defaults either way
  }
}

TEST_F(SettingsStartupTest, ExistingFileAsksNothingAndAppliesItsEffects) {
  WriteSettingsFile("[Network]\nLocalPort=4000\n[System]\nPreventSleep=1\nOpenFirewall=1\nAutostart=1\n");
  const SettingsRead read = LoadSettings(ui_, paths_, autostart_, Generator(true));
  EXPECT_TRUE(ui_.messages().empty());
  EXPECT_TRUE(generated_for_.empty());
  EXPECT_EQ(read.settings.LocalPort, 4000);
  EXPECT_EQ(ui_.effects(), (std::vector<Effect>{{Effect::kPreventSleep, 1}, {Effect::kOpenFirewallPort, 4000}}));
  EXPECT_TRUE(std::filesystem::exists(AutostartEntryPath(autostart_)));
}

TEST_F(SettingsStartupTest, EffectsFollowTheSwitchesAndTheRule) {
  ASSERT_TRUE(SetAutostart(autostart_, true));
  Settings s;
  s.Autostart = false;
  s.PreventSleep = false;
  s.OpenFirewall = false;
  s.LocalPort = 5000;
  ApplySystemSettings(ui_, s, autostart_, FirewallRule::kOpenWhenSet);  // at load a closed setting leaves the port
  ApplySystemSettings(ui_, s, autostart_, FirewallRule::kOpenWhenSetElseClose);
  EXPECT_EQ(ui_.effects(), (std::vector<Effect>{{Effect::kPreventSleep, 0},
                                                {Effect::kPreventSleep, 0},
                                                {Effect::kCloseFirewallPort, 5000}}));
  EXPECT_FALSE(std::filesystem::exists(AutostartEntryPath(autostart_)));
}

TEST_F(SettingsStartupTest, RememberedPasswordComesBackForTheCache) {
  WriteSettingsFile("[Password]\nTime=30\nRemember=1\nPass=637343\n");
  const SettingsRead read = LoadSettings(ui_, paths_, autostart_, nullptr);
  EXPECT_EQ(read.remembered, PasswordBytes("abc"));
  EXPECT_EQ(read.settings.Time, 0u);
}

}  // namespace
}  // namespace orv
