#include "settings/ini_file.hpp"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(IniFile, ReadsValuesAsTheProfileFunctionsDo) {
  const IniFile ini = IniFile::Parse(
      "\xEF\xBB\xBF; a comment\r\n"
      "[Files]\r\n"
      "  Key = /home/a/orv.key  \r\n"
      "log=\"  spaced  \"\r\n"
      "Key=/second/wins/not\r\n"
      "garbage line without equals\r\n"
      "[network]\n"
      "LocalPort=31265\n"
      "Empty=\n"
      "[Files]\n"
      "Seed=/s.bin");  // no line end after the last line
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  } cases[] = {
      {"Files", "Key", "/home/a/orv.key"},     // blanks trimmed, first occurrence wins
      {"FILES", "LOG", "  spaced  "},          // names ignore case; one pair of quotes comes off
      {"Network", "LocalPort", "31265"},
      {"Network", "Empty", ""},                // present but empty is not missing
      {"Files", "Seed", "/s.bin"},             // a repeated section adds to the first
      {"Files", "LocalPort", std::nullopt},    // keys belong to their section
      {"Audio", "Volume", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ini.Get(c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST(IniFile, SetChangesOnlyItsKeyAndKeepsEverythingElse) {
  IniFile ini = IniFile::Parse(
      "; kept comment\n"
      "[Files]\n"
      "KEY=/old\n"
      "Unknown=stays\n"
      "\n"
      "[Custom]\n"
      "x=1\n");
  EXPECT_TRUE(ini.Set("Files", "Key", "/new"));       // replaced in place, keeping the file's spelling
  EXPECT_TRUE(ini.Set("Files", "Log", "/log.txt"));   // added after the section's last key
  EXPECT_TRUE(ini.Set("Audio", "AGC", "1"));          // new section at the end
  EXPECT_EQ(ini.Text(),
            "; kept comment\n"
            "[Files]\n"
            "KEY=/new\n"
            "Unknown=stays\n"
            "Log=/log.txt\n"
            "\n"
            "[Custom]\n"
            "x=1\n"
            "\n"
            "[Audio]\n"
            "AGC=1\n");
}

std::string KeyName(size_t i) { return std::string(1, 'k').append(std::to_string(i)); }

TEST(IniFile, ValuesRoundTripThroughText) {
  const std::string values[] = {"plain", "  leading", "trailing\t", "\"quoted\"", "", "a=b;c", "\xC3\xA9t\xC3\xA9"};
  IniFile ini;
  for (size_t i = 0; i < std::size(values); ++i) ASSERT_TRUE(ini.Set("S", KeyName(i), values[i]));
  const IniFile back = IniFile::Parse(ini.Text());
  for (size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(back.Get("S", KeyName(i)), values[i]) << i;
}

TEST(IniFile, RefusesValuesThatWouldBreakTheLine) {
  IniFile ini = IniFile::Parse("[Files]\nLog=/kept\n");
  EXPECT_FALSE(ini.Set("Files", "Log", "/a\n[Network]\nLocalPort=1"));
  EXPECT_FALSE(ini.Set("Files", "Log", std::string("/a\0b", 4)));
  EXPECT_EQ(ini.Text(), "[Files]\nLog=/kept\n");
}

}  // namespace
}  // namespace orv
