#include "settings/settings_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "settings/pass_encoding.hpp"
#include "settings/settings_keys.hpp"
#include "support/temp_dir.hpp"

namespace orv {

// Failures show the record key by key.
void PrintTo(const Settings& s, std::ostream* os) {
  for (const SettingKey& key : SettingKeys()) *os << "\n  " << key.name << "=" << WriteSettingValue(key, s);
  *os << "\n  TestOutputDevice=" << s.TestOutputDevice;
}

namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsFileTest() {
    paths_.profile_dir = dir_ / "profile";
    paths_.settings_file = paths_.profile_dir + "/orv.set";
    paths_.download_dir = "/home/a/Downloads";
  }

  void WriteSettingsFile(const std::string& text) {
    ASSERT_TRUE(EnsureProfileDirectory(paths_));
    WriteWholeFile(paths_.settings_file, text);
  }

  std::string p(const std::string& name) const { return paths_.profile_dir + name; }

  TempDir dir_;
  ProfilePaths paths_;
};

PasswordSupplier Supplies(const char* password, int* calls = nullptr) {
  return [=](PasswordBytes& out) {
    if (calls) ++*calls;
    if (!password) return false;
    out.Assign(password);
    return true;
  };
}

TEST_F(SettingsFileTest, MissingFileGivesEveryDefault) {
  const SettingsRead read = ReadSettings(paths_);
  EXPECT_EQ(read.state, FileReadState::kMissing);
  EXPECT_TRUE(read.remembered.empty());
  const Settings& s = read.settings;
  EXPECT_EQ(s.Key, p("/orv.key"));
  EXPECT_EQ(s.Users, p("/user.xml"));
  EXPECT_EQ(s.Likes, p("/likes.xml"));
  EXPECT_EQ(s.Log, p("/log.txt"));
  EXPECT_FALSE(s.EnableLog);
  EXPECT_EQ(s.LogSize, 100);
  EXPECT_EQ(s.FileTransferPath, "/home/a/Downloads");
  EXPECT_EQ(s.Downloads, p("/downloads.xml"));
  EXPECT_EQ(s.Seed, p("/seed.bin"));
  EXPECT_FALSE(s.AutoReceiveFiles);
  EXPECT_EQ(s.Time, 0u);
  EXPECT_FALSE(s.Remember);
  EXPECT_EQ(s.LocalPort, 31265);
  EXPECT_EQ(s.RemotePort, 31265);
  EXPECT_TRUE(s.EnableUPnP);
  EXPECT_TRUE(s.CancelUPnPonExit);
  EXPECT_TRUE(s.NextAvailablePort);
  EXPECT_FALSE(s.RandomPort);
  EXPECT_TRUE(s.AllowAnyone);
  EXPECT_TRUE(s.AllowConnectionRequest);
  EXPECT_TRUE(s.AcceptFileTransfer);
  EXPECT_FALSE(s.SaveChatToFile);
  EXPECT_EQ(s.AwayTimeout, 15);
  EXPECT_FALSE(s.Autostart);
  EXPECT_FALSE(s.PreventSleep);
  EXPECT_FALSE(s.OpenFirewall);
  EXPECT_TRUE(s.ShowSplashWindow);
  EXPECT_EQ(s.Microphone, "default");
  EXPECT_EQ(s.Speaker, "default");
  EXPECT_EQ(s.Volume, 66);
  EXPECT_EQ(s.MicLevel, 66);
  EXPECT_TRUE(s.AGC);
  EXPECT_EQ(s.RingVolume, 66);
  EXPECT_EQ(s.TestOutputDevice, -1);
}

TEST_F(SettingsFileTest, DefaultsAreWrittenSectionBySectionInTableOrder) {
  ASSERT_TRUE(SaveSettings(ReadSettings(paths_).settings, paths_, nullptr));
  EXPECT_EQ(ReadWholeFile(paths_.settings_file),
            "[Files]\nKey=" + p("/orv.key") + "\nUsers=" + p("/user.xml") + "\nLikes=" + p("/likes.xml") +
                "\nLog=" + p("/log.txt") +
                "\nEnableLog=0\nLogSize=100\nFileTransferPath=/home/a/Downloads\nDownloads=" + p("/downloads.xml") +
                "\nSeed=" + p("/seed.bin") +
                "\nAutoReceiveFiles=0\n"
                "\n[Password]\nTime=0\nRemember=0\nPass=\n"
                "\n[Network]\nLocalPort=31265\nRemotePort=31265\nEnableUPnP=1\nCancelUPnPonExit=1\n"
                "NextAvailablePort=1\nRandomPort=0\n"
                "\n[Privacy]\nAllowAnyone=1\nAllowConnectionRequest=1\nAcceptFileTransfer=1\nSaveChatToFile=0\n"
                "\n[System]\nAwayTimeout=15\nAutostart=0\nPreventSleep=0\nOpenFirewall=0\nShowSplashWindow=1\n"
                "\n[Audio]\nMicrophone=default\nSpeaker=default\nVolume=66\nMicLevel=66\nAGC=1\nRingVolume=66\n");
}

TEST_F(SettingsFileTest, EveryKeyRoundTrips) {
  Settings s;
  s.Key = "/k/my key.key";
  s.Users = "/k/u.xml";
  s.Likes = "/k/l.xml";
  s.Log = " /k/log with edge blanks ";
  s.EnableLog = true;
  s.LogSize = 2047;
  s.FileTransferPath = "/k/\xC3\xA9t\xC3\xA9";
  s.Downloads = "/k/d.xml";
  s.Seed = "/k/s.bin";
  s.AutoReceiveFiles = true;
  s.Time = 4000000000u;  // written as a signed number, read back the same
  s.Remember = false;
  s.LocalPort = 65535;
  s.RemotePort = 1;
  s.EnableUPnP = false;
  s.CancelUPnPonExit = false;
  s.NextAvailablePort = false;
  s.RandomPort = true;
  s.AllowAnyone = false;
  s.AllowConnectionRequest = false;
  s.AcceptFileTransfer = false;
  s.SaveChatToFile = true;
  s.AwayTimeout = -3;
  s.Autostart = true;
  s.PreventSleep = true;
  s.OpenFirewall = true;
  s.ShowSplashWindow = false;
  s.Microphone = "USB Audio Device: mic (hw:1,0)";
  s.Speaker = "HDA Intel PCH";
  s.Volume = 0;
  s.MicLevel = 100;
  s.AGC = false;
  s.RingVolume = 7;
  ASSERT_TRUE(SaveSettings(s, paths_, nullptr));
  const SettingsRead read = ReadSettings(paths_);
  EXPECT_EQ(read.state, FileReadState::kRead);
  EXPECT_EQ(read.settings, s);
}

TEST_F(SettingsFileTest, BadOrOddValues) {
  struct Case {
    const char* section;
    std::string line;
    std::function<void(Settings&)> expect;  // the change from the defaults
  } cases[] = {
      {"Network", "LocalPort=70000", [](Settings& s) { s.LocalPort = 4464; }},  // low 16 bits
      {"Network", "RemotePort=-1", [](Settings& s) { s.RemotePort = 65535; }},
      {"Network", "LocalPort=abc", [](Settings&) {}},                          // not a number: default
      {"Network", "LocalPort=12abc", [](Settings&) {}},
      {"Network", "LocalPort=", [](Settings&) {}},
      {"Network", "LocalPort=99999999999", [](Settings&) {}},                   // beyond 32 bits
      {"Network", "localport = +8000 ", [](Settings& s) { s.LocalPort = 8000; }},
      {"Files", "EnableLog=2", [](Settings& s) { s.EnableLog = true; }},       // any number but 0 sets a switch
      {"Files", "EnableLog=yes", [](Settings&) {}},
      {"Files", "LogSize=-5", [](Settings& s) { s.LogSize = -5; }},
      {"Files", "Key=", [](Settings&) {}},                                     // an empty path: default
      {"Files", "Key=relative.key", [](Settings& s) { s.Key = "relative.key"; }},
      {"Password", "Time=-1", [](Settings& s) { s.Time = 4294967295u; }},
      {"Audio", "Volume=500", [](Settings& s) { s.Volume = 100; }},            // levels stay within 0..100
      {"Audio", "RingVolume=-20", [](Settings& s) { s.RingVolume = 0; }},
      {"Audio", "Microphone=0123456789012345678901234567890123456789",
       [](Settings& s) { s.Microphone = "0123456789012345678901234567890"; }},  // 31 characters
      {"Audio", "Speaker=\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                "\xC3\xA9\xC3\xA9",
       [](Settings& s) {  // cut by characters, not in the middle of one
         s.Speaker.clear();
         for (int i = 0; i < 31; ++i) s.Speaker += "\xC3\xA9";
       }},
      {"Audio", "Speaker=", [](Settings& s) { s.Speaker = ""; }},
      {"Audio", "Speaker=a\x01z", [](Settings&) {}},      // control characters: default
      {"Network", "AllowAnyone=0", [](Settings&) {}},                          // wrong section
  };
  const Settings defaults = ReadSettings(paths_).settings;
  for (const Case& c : cases) {
    WriteSettingsFile(std::string("[") + c.section + "]\n" + c.line + "\n");
    Settings expected = defaults;
    c.expect(expected);
    EXPECT_EQ(ReadSettings(paths_).settings, expected) << c.line;
  }
}

TEST_F(SettingsFileTest, RememberedPasswordIsReadAndForcesTimeToZero) {
  WriteSettingsFile("[Password]\nTime=5\nRemember=1\nPass=637343\n");
  SettingsRead read = ReadSettings(paths_);
  EXPECT_EQ(read.remembered, PasswordBytes("abc"));
  EXPECT_EQ(read.settings.Time, 0u);

  ASSERT_TRUE(SaveSettings(read.settings, paths_, Supplies("abc")));
  const std::string text = ReadWholeFile(paths_.settings_file);
  EXPECT_NE(text.find("Time=0\nRemember=1\nPass=637343\n"), std::string::npos) << text;
  EXPECT_EQ(ReadSettings(paths_).settings.Time, 0u);
}

TEST_F(SettingsFileTest, PassIsIgnoredWithoutRememberAndErasedAtTheNextSave) {
  WriteSettingsFile("[Password]\nTime=5\nRemember=0\nPass=637343\n");
  const SettingsRead read = ReadSettings(paths_);
  EXPECT_TRUE(read.remembered.empty());
  EXPECT_EQ(read.settings.Time, 5u);

  int asked = 0;
  ASSERT_TRUE(SaveSettings(read.settings, paths_, Supplies("abc", &asked)));
  EXPECT_EQ(asked, 0);  // nobody is asked for a password that is not to be stored
  EXPECT_NE(ReadWholeFile(paths_.settings_file).find("Time=5\nRemember=0\nPass=\n"), std::string::npos);
}

TEST_F(SettingsFileTest, PassStaysEmptyWhenNoPasswordIsAvailable) {
  Settings s = ReadSettings(paths_).settings;
  s.Remember = true;
  s.Time = 9;
  int asked = 0;
  ASSERT_TRUE(SaveSettings(s, paths_, Supplies(nullptr, &asked)));
  EXPECT_EQ(asked, 1);
  EXPECT_NE(ReadWholeFile(paths_.settings_file).find("Time=9\nRemember=1\nPass=\n"), std::string::npos);
  EXPECT_EQ(ReadSettings(paths_).settings.Time, 9u);  // nothing remembered, so nothing forced

  WriteSettingsFile("[Password]\nTime=9\nRemember=1\nPass=6Z\n");  // a broken Pass remembers nothing
  const SettingsRead read = ReadSettings(paths_);
  EXPECT_TRUE(read.remembered.empty());
  EXPECT_EQ(read.settings.Time, 9u);
}

TEST_F(SettingsFileTest, SaveKeepsForeignContentAndLeavesAPrivateFileOnly) {
  WriteSettingsFile("; my notes\n[Files]\nEnableLog=1\nFutureKey=abc\n[Plugins]\nx=1\n");
  ASSERT_TRUE(SaveSettings(ReadSettings(paths_).settings, paths_, nullptr));
  const std::string text = ReadWholeFile(paths_.settings_file);
  EXPECT_EQ(text.rfind("; my notes\n[Files]\nEnableLog=1\nFutureKey=abc\nKey=", 0), 0u) << text;
  EXPECT_NE(text.find("[Plugins]\nx=1\n"), std::string::npos);

  struct stat st {};
  ASSERT_EQ(::stat(paths_.settings_file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(paths_.profile_dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary file left behind
}

TEST_F(SettingsFileTest, TruncatedFileKeepsWhatItHolds) {
  WriteSettingsFile("[Network]\nLocalPort=4000\nRemotePort=40");  // cut mid-value, mid-file
  const Settings s = ReadSettings(paths_).settings;
  EXPECT_EQ(s.LocalPort, 4000);
  EXPECT_EQ(s.RemotePort, 40);
  EXPECT_TRUE(s.AllowAnyone);
  WriteSettingsFile("[Netw");
  EXPECT_EQ(ReadSettings(paths_).settings.LocalPort, 31265);
}

TEST_F(SettingsFileTest, BinaryGarbageReadsAsDefaultsAndSavesCleanly) {
  std::string garbage;
  uint32_t x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245u + 12345u;
    garbage += static_cast<char>(x >> 24);
  }
  WriteSettingsFile(garbage);
  const SettingsRead read = ReadSettings(paths_);
  EXPECT_EQ(read.state, FileReadState::kRead);
  Settings defaults = read.settings;
  ASSERT_TRUE(SaveSettings(defaults, paths_, nullptr));
  EXPECT_EQ(ReadSettings(paths_).settings, defaults);
}

TEST_F(SettingsFileTest, OversizedFileIsReadFromItsStartAndSetAsideBeforeASave) {
  std::string big = "[Network]\nLocalPort=4000\n[Junk]\n";
  while (big.size() <= kMaxSettingsFileBytes) big += "filler=0123456789012345678901234567890123456789\n";
  big += "[Audio]\nVolume=1\n";  // past the limit: not read
  WriteSettingsFile(big);
  const SettingsRead read = ReadSettings(paths_);
  EXPECT_EQ(read.state, FileReadState::kOversized);
  EXPECT_EQ(read.settings.LocalPort, 4000);
  EXPECT_EQ(read.settings.Volume, 66);

  ASSERT_TRUE(SaveSettings(read.settings, paths_, nullptr));
  EXPECT_EQ(ReadWholeFile(paths_.settings_file + ".bak"), big);  // nothing lost
  EXPECT_LT(ReadWholeFile(paths_.settings_file).size(), 2000u);
  EXPECT_EQ(ReadSettings(paths_).settings, read.settings);
}

TEST_F(SettingsFileTest, UnreadableFileGivesDefaultsAndIsNotReplaced) {
  std::filesystem::create_directories(paths_.settings_file);  // a folder where the file should be
  const SettingsRead read = ReadSettings(paths_);
  EXPECT_EQ(read.state, FileReadState::kUnreadable);
  EXPECT_EQ(read.settings.LocalPort, 31265);
  EXPECT_FALSE(SaveSettings(read.settings, paths_, nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(paths_.settings_file));
}

TEST_F(SettingsFileTest, SaveFailsWhenTheProfileDirectoryCannotBeMade) {
  WriteWholeFile(dir_ / "plain", "x");
  paths_.profile_dir = dir_ / "plain/orv";
  paths_.settings_file = paths_.profile_dir + "/orv.set";
  EXPECT_FALSE(SaveSettings(Settings{}, paths_, nullptr));
}

}  // namespace
}  // namespace orv
