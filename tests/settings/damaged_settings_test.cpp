// A settings file that cannot be read whole: what was dropped is named, and
// the damaged file is kept as "orv.set.bad" rather than overwritten.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/settings_file.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

class DamagedSettingsTest : public ::testing::Test {
 protected:
  DamagedSettingsTest() {
    paths_.profile_dir = dir_ / "profile";
    paths_.settings_file = paths_.profile_dir + "/orv.set";
    paths_.download_dir = dir_ / "Downloads";
    EXPECT_TRUE(EnsureProfileDirectory(paths_));
  }

  TempDir dir_;
  ProfilePaths paths_;
};

TEST_F(DamagedSettingsTest, WhatCannotBeReadIsNamedAndTheRestIsRead) {
  const struct {
    const char* text;
    std::vector<std::string> problems;
    uint16_t local_port;  // read where it could be
  } cases[] = {
      {"[Network]\nLocalPort=abc\nRemotePort=4000\n",
       {"[Network] LocalPort: value \"abc\" not valid, the default is used"}, 31265},
      {"garbage\n[Network]\nLocalPort=5000\n",
       {"line 1 dropped: neither a section, a key in a section nor a comment"}, 5000},
      {"LocalPort=5000\n[Network]\n", {"line 1 dropped: neither a section, a key in a section nor a comment"}, 31265},
      {"[Network\nLocalPort=5000\n",
       {"line 1 dropped: neither a section, a key in a section nor a comment",
        "line 2 dropped: neither a section, a key in a section nor a comment"},
       31265},
      {"[Network]\nLocalPort=5000\nSome\x01thing=1\n",
       {"line 3 dropped: neither a section, a key in a section nor a comment"}, 5000},
      {"[Network]\nLocalPort=5000\n[Audio]\nVolume=\x02\n",
       {"line 4 dropped: neither a section, a key in a section nor a comment",
        "[Audio] Volume: value \"(control characters)\" not valid, the default is used"},
       5000},
      // The remembered password's text is never repeated.
      {"[Password]\nRemember=1\nPass=secretZZ\n[Network]\nLocalPort=5000\n",
       {"[Password] Pass: not a remembered password, dropped"}, 5000},
  };
  for (const auto& c : cases) {
    WriteWholeFile(paths_.settings_file, c.text);
    const SettingsRead read = ReadSettings(paths_);
    EXPECT_EQ(read.problems, c.problems) << c.text;
    EXPECT_EQ(read.settings.LocalPort, c.local_port) << c.text;
  }
}

TEST_F(DamagedSettingsTest, ASoundFileHasNoProblems) {
  WriteWholeFile(paths_.settings_file,
                 "; comment\n# comment\n\n[Files]\nLog=\nUnknownKey=1\n[Unknown]\nx=y\n[Network]\nLocalPort=5000\n");
  const SettingsRead read = ReadSettings(paths_);
  EXPECT_TRUE(read.problems.empty());
  EXPECT_EQ(read.settings.LocalPort, 5000);
}

TEST_F(DamagedSettingsTest, UnreadableAndOversizedFilesAreNamed) {
  std::filesystem::create_directory(paths_.settings_file);  // there, but not a file
  EXPECT_EQ(ReadSettings(paths_).problems.size(), 1u);
  std::filesystem::remove(paths_.settings_file);
  WriteWholeFile(paths_.settings_file, "[Network]\nLocalPort=5000\n" + std::string(kMaxSettingsFileBytes, ';'));
  const SettingsRead read = ReadSettings(paths_);
  ASSERT_EQ(read.problems.size(), 1u);
  EXPECT_NE(read.problems[0].find("only its beginning was read"), std::string::npos);
}

TEST_F(DamagedSettingsTest, SaveKeepsTheDamagedFileBesideTheNewOne) {
  const std::string damaged = "; mine\n[Network]\nLocalPort=abc\njunk line\nRemotePort=4000\n";
  WriteWholeFile(paths_.settings_file, damaged);
  SettingsRead read = ReadSettings(paths_);
  ASSERT_EQ(read.problems.size(), 2u);
  ASSERT_TRUE(SaveSettings(read.settings, paths_, nullptr));

  const std::string bad = paths_.settings_file + ".bad";
  EXPECT_EQ(ReadWholeFile(bad), damaged);
  struct stat st {};
  ASSERT_EQ(::stat(bad.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // The new file reads cleanly: the junk is left out, the bad value has its
  // default, the user's comment and good values stay.
  const std::string text = ReadWholeFile(paths_.settings_file);
  EXPECT_EQ(text.find("junk"), std::string::npos);
  EXPECT_NE(text.find("; mine"), std::string::npos);
  const SettingsRead again = ReadSettings(paths_);
  EXPECT_TRUE(again.problems.empty());
  EXPECT_EQ(again.settings.LocalPort, 31265);
  EXPECT_EQ(again.settings.RemotePort, 4000);

  // A sound file is saved over without a copy.
  std::filesystem::remove(bad);
  ASSERT_TRUE(SaveSettings(again.settings, paths_, nullptr));
  EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST_F(DamagedSettingsTest, AFileThatCannotBeKeptIsNotSavedOver) {
  const std::string damaged = "[Network]\nLocalPort=abc\n";
  WriteWholeFile(paths_.settings_file, damaged);
  std::filesystem::create_directory(paths_.settings_file + ".bad");  // the copy cannot go there
  EXPECT_FALSE(SaveSettings(ReadSettings(paths_).settings, paths_, nullptr));
  EXPECT_EQ(ReadWholeFile(paths_.settings_file), damaged);
}

}  // namespace
}  // namespace orv
