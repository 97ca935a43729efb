// The orv program as a process: headless it refuses to start; on the
// offscreen platform it starts with a profile, answers a chat from an orvd
// node through its chat window and ends in order on SIGTERM.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "e2e/orvd_nodes.hpp"
#include "e2e/orvd_process.hpp"
#include "support/temp_dir.hpp"

namespace orv::test {
namespace {

// Sets (or, for nothing, removes) environment variables for the children
// started while it lives, and puts them back afterwards.
class ChildEnvironment {
 public:
  explicit ChildEnvironment(const std::map<std::string, std::optional<std::string>>& values) {
    for (const auto& [name, value] : values) {
      const char* old = ::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
      Put(name, value);
    }
  }
  ~ChildEnvironment() {
    for (const auto& [name, value] : saved_) Put(name, value);
  }

 private:
  static void Put(const std::string& name, const std::optional<std::string>& value) {
    if (value)
      ::setenv(name.c_str(), value->c_str(), 1);
    else
      ::unsetenv(name.c_str());
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(OrvProgramTest, WithoutADisplayItNamesOrvdAndExits1) {
  ChildEnvironment env({{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"QT_QPA_PLATFORM", std::nullopt}});
  OrvdProcess orv({ORV_PATH});
  EXPECT_EQ(orv.WaitExit(), 1);
  EXPECT_EQ(orv.output(),
            "orv: no display (DISPLAY and WAYLAND_DISPLAY are not set); "
            "start the headless node instead: orvd --profile DIR (orvd --help)\n");
}

TEST(OrvProgramTest, StartsAnswersAChatAndEndsInOrderOnSigterm) {
  TempDir dir;
  // The key is made by orvd, which keeps the password in the settings
  // ("Remember"): orv then starts without asking anyone.
  const std::string profile = dir / "gui";
  {
    OrvdProcess maker(NodeArgs(dir, "gui", "[Password]\nRemember=1\n"));
    ASSERT_FALSE(maker.WaitFor("Control socket ").empty()) << maker.output();
    ASSERT_EQ(maker.Stop(SIGTERM), 0) << maker.output();
  }
  // The sound system's plug-ins leave allocations behind at exit; they are
  // not the program's. The login autostart entry orv keeps goes to a
  // config home of the test's own, not the machine user's.
  ChildEnvironment env({{"QT_QPA_PLATFORM", "offscreen"},
                        {"ASAN_OPTIONS", "detect_leaks=0"},
                        {"XDG_CONFIG_HOME", dir / "config"}});
  OrvdProcess orv({ORV_PATH, "--profile", profile});
  const std::string listening = orv.WaitFor("Listening on UDP port ");
  ASSERT_FALSE(listening.empty()) << orv.output();
  const std::string port = listening.substr(listening.rfind(' ') + 1);
  ASSERT_FALSE(orv.WaitFor("Bootstrap started").empty()) << orv.output();

  OrvdProcess bob(NodeArgs(dir, "bob"));
  ASSERT_FALSE(bob.WaitFor("Control socket ").empty()) << bob.output();
  const CtlResult sent = Ctl(dir / "bob", {"chat", "127.0.0.1:" + port, "hello orv"});
  ASSERT_EQ(sent.status, 0) << sent.output;
  EXPECT_FALSE(bob.WaitFor("event delivered ", std::chrono::seconds(60)).empty()) << bob.output() << orv.output();

  EXPECT_EQ(orv.Stop(SIGTERM), 0) << orv.output();
  EXPECT_EQ(Ctl(dir / "bob", {"quit"}).status, 0);
  EXPECT_EQ(bob.WaitExit(), 0) << bob.output();
}

}  // namespace
}  // namespace orv::test
