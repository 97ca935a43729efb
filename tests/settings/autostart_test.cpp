#include "settings/autostart.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::ReadWholeFile;
using test::TempDir;

TEST(Autostart, EntryIsWrittenAndRemoved) {
  TempDir dir;
  const AutostartEntry entry{dir / "config", "/opt/orv/bin/orv", ""};
  const std::string path = dir / "config/autostart/orv.desktop";
  EXPECT_EQ(AutostartEntryPath(entry), path);

  ASSERT_TRUE(SetAutostart(entry, true));
  const std::string text = ReadWholeFile(path);
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"/opt/orv/bin/orv\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nIcon=orv\n"), std::string::npos) << text;

  ASSERT_TRUE(SetAutostart(entry, true));  // again: still one entry, same text
  EXPECT_EQ(ReadWholeFile(path), text);

  ASSERT_TRUE(SetAutostart(entry, false));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(SetAutostart(entry, false));  // removing a missing entry is fine
}

TEST(Autostart, ExecQuotesOddPathsAndPassesTheProfile) {
  const AutostartEntry entry{"/c", "/opt/my \"orv\"/100%/orv", "/srv/a$b\\c"};
  const std::string text = AutostartDesktopText(entry);
  // Inside quotes " $ \ are escaped by a backslash, then the string's own
  // escaping doubles every backslash; % is doubled for the field codes.
  EXPECT_NE(text.find("\nExec=\"/opt/my \\\\\"orv\\\\\"/100%%/orv\" --profile \"/srv/a\\\\$b\\\\\\\\c\"\n"),
            std::string::npos)
      << text;
  const AutostartEntry newline{"/c", "/opt/a\nb", ""};
  EXPECT_NE(AutostartDesktopText(newline).find("Exec=\"/opt/a\\nb\"\n"), std::string::npos);
}

// A program that keeps no entry (the headless node) has no config home in
// it: neither on nor off touches anything, not even "/autostart".
TEST(Autostart, AnEntryWithoutConfigHomeChangesNothing) {
  const AutostartEntry none{"", "/usr/bin/orvd", ""};
  EXPECT_EQ(AutostartEntryPath(none), "/autostart/orv.desktop");
  EXPECT_FALSE(SetAutostart(none, true));
  EXPECT_FALSE(SetAutostart(none, false));
  EXPECT_FALSE(std::filesystem::exists("/autostart/orv.desktop"));
}

TEST(Autostart, NothingIsWrittenWhenTheFolderCannotBeMade) {
  TempDir dir;
  test::WriteWholeFile(dir / "config", "a plain file");
  EXPECT_FALSE(SetAutostart({dir / "config", "/opt/orv", ""}, true));
  EXPECT_FALSE(SetAutostart({dir / "c2", "", ""}, true));  // the program's path is unknown
}

}  // namespace
}  // namespace orv
