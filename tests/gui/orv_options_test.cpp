#include "gui/orv_options.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace orv {
namespace {

TEST(OrvOptionsTest, ProfileHelpAndQtOptions) {
  std::string error;
  auto options = ParseOrvOptions({"--profile", "/tmp/p", "-platform", "offscreen"}, error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->profile, "/tmp/p");
  EXPECT_FALSE(options->help);
  options = ParseOrvOptions({"--profile=/tmp/q", "--help"}, error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->profile, "/tmp/q");
  EXPECT_TRUE(options->help);
  EXPECT_FALSE(ParseOrvOptions({"--profile"}, error));
  EXPECT_EQ(error, "--profile needs a directory");
  EXPECT_FALSE(ParseOrvOptions({"--bogus"}, error));
  EXPECT_EQ(error, "unknown option --bogus");
}

TEST(OrvOptionsTest, DisplayFromAnyOfTheThreeVariables) {
  struct Case {
    std::map<std::string, std::string> env;
    bool display;
  };
  const Case cases[] = {
      {{}, false},
      {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, false},
      {{{"DISPLAY", ":0"}}, true},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, true},
      {{{"QT_QPA_PLATFORM", "offscreen"}}, true},
  };
  for (const Case& c : cases) {
    const bool display = HasDisplay([&c](const char* name) -> const char* {
      auto it = c.env.find(name);
      return it == c.env.end() ? nullptr : it->second.c_str();
    });
    EXPECT_EQ(display, c.display) << c.env.size();
  }
}

}  // namespace
}  // namespace orv
