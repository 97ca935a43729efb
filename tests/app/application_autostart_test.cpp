// The login autostart entry belongs to the desktop program: Application
// keeps it only when its options say so, and a headless node with the same
// settings leaves the desktop's entry as it is.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/application.hpp"
#include "app/scripted_ui_port.hpp"
#include "settings/autostart.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

// Sets an environment variable for the test's time.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (saved_)
      ::setenv(name_, saved_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// Runs the start-up (which stops at the missing key) and the shutdown of a
// program whose settings say `Autostart`.
void RunProgram(const test::TempDir& dir, bool autostart, bool keeps_entry) {
  const std::string profile = dir / "profile";
  std::filesystem::create_directories(profile);
  test::WriteWholeFile(profile + "/orv.set", std::string("[Network]\nLocalPort=0\nEnableUPnP=0\n[System]\nAutostart=") +
                                                 (autostart ? "1" : "0") + "\n");
  ScriptedUiPort ui;
  AppOptions options{profile};
  options.autostart_entry = keeps_entry;
  Application app(ui, options);
  app.Start();
  app.Stop();
}

TEST(ApplicationAutostart, OnlyTheDesktopProgramKeepsTheEntry) {
  test::TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  const std::string entry = dir / "config/autostart/orv.desktop";

  RunProgram(dir, true, false);  // a headless node: nothing written
  EXPECT_FALSE(std::filesystem::exists(entry));

  RunProgram(dir, true, true);  // the desktop program: the entry starts this program
  ASSERT_TRUE(std::filesystem::exists(entry));
  const std::string own = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_NE(test::ReadWholeFile(entry).find("\nExec=\"" + own + "\" --profile "), std::string::npos)
      << test::ReadWholeFile(entry);

  RunProgram(dir, false, false);  // a headless node with Autostart=0: the entry stays
  EXPECT_TRUE(std::filesystem::exists(entry));
  RunProgram(dir, false, true);  // the desktop program with Autostart=0: removed
  EXPECT_FALSE(std::filesystem::exists(entry));
}

}  // namespace
}  // namespace orv
