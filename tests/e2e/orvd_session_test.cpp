// Two orvd processes with two profiles on 127.0.0.1: the second calls the
// first, both log the session, and a stopped node ends it for the other.
#include <gtest/gtest.h>

#include <string>

#include "orvd_nodes.hpp"
#include "orvd_process.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::OrvdProcess;
using test::TempDir;
using test::WriteWholeFile;
using test::NodeArgs;


std::string PortOf(const std::string& line) { return line.substr(line.rfind(' ') + 1); }

TEST(Orvd, TwoNodesMakeASessionAndEndIt) {
  TempDir dir;
  OrvdProcess alice(NodeArgs(dir, "alice"));
  const std::string listening = alice.WaitFor("Listening on UDP port ");
  ASSERT_FALSE(listening.empty()) << alice.output();
  EXPECT_NE(alice.output().find("Key file generated successfully. User info: alice."), std::string::npos);

  auto bob_args = NodeArgs(dir, "bob");
  bob_args.push_back("--connect");
  bob_args.push_back("127.0.0.1:" + PortOf(listening));
  OrvdProcess bob(bob_args);
  EXPECT_FALSE(bob.WaitFor("Session confirmed by 127.0.0.1:" + PortOf(listening)).empty()) << bob.output();
  const std::string confirmed = alice.WaitFor("Successful session confirmation from 127.0.0.1:");
  EXPECT_NE(confirmed.find("user name: bob"), std::string::npos) << alice.output();

  EXPECT_EQ(alice.Stop(SIGTERM), 0);
  EXPECT_FALSE(bob.WaitFor("Session rerminated by 127.0.0.1:" + PortOf(listening)).empty()) << bob.output();
  EXPECT_EQ(bob.Stop(SIGINT), 0);
  // The key, settings and seed files stay for the next start.
  for (const char* file : {"orv.key", "orv.set", "seed.bin"})
    EXPECT_TRUE(std::filesystem::exists(dir / (std::string("alice/") + file))) << file;
}

// A password file that cannot open the key, or cannot be read, ends the
// start at once: one line on standard error and a non-zero exit status.
TEST(Orvd, AnUnusablePasswordFileEndsTheStart) {
  TempDir dir;
  {
    OrvdProcess first(NodeArgs(dir, "carol"));  // makes carol's key
    ASSERT_FALSE(first.WaitFor("Listening on UDP port ").empty()) << first.output();
    ASSERT_EQ(first.Stop(SIGTERM), 0);
  }
  WriteWholeFile(dir / "wrong.pw", "not carol's password\n");
  const std::string profile = dir / "carol";
  struct Case {
    std::string password_file;
    std::string reason;
  } cases[] = {
      {dir / "wrong.pw", "does not open the key"},
      {dir / "missing.pw", "can't read the password file"},
  };
  for (const Case& c : cases) {
    OrvdProcess node({ORVD_PATH, "--profile", profile, "--password-file", c.password_file});
    EXPECT_EQ(node.WaitExit(), 1) << c.password_file;
    EXPECT_NE(node.output().find(c.reason), std::string::npos) << node.output();
    EXPECT_NE(node.output().find("orvd: "), std::string::npos) << node.output();
  }
}

// A node that could not receive ends at once with its reason instead of
// running deaf: a key file that is not a key, or an empty password file
// where a new key needs a password.
TEST(Orvd, NoUsableKeyEndsTheStart) {
  TempDir dir;
  const std::vector<std::string> broken_args = NodeArgs(dir, "broken");
  const std::vector<std::string> fresh_args = NodeArgs(dir, "fresh");
  WriteWholeFile(dir / "broken/orv.key", "not a key");
  WriteWholeFile(dir / "fresh.pw", "\n");
  struct Case {
    const std::vector<std::string>& args;
    std::string reason;
  } cases[] = {
      {broken_args, "orvd: not connected: no key (no usable key file " + (dir / "broken/orv.key") + ")"},
      {fresh_args, "orvd: the password file " + (dir / "fresh.pw") + " is empty; a key needs a password"},
  };
  for (const Case& c : cases) {
    OrvdProcess node(c.args);
    EXPECT_EQ(node.WaitExit(), 1) << c.reason;
    EXPECT_NE(node.output().find(c.reason), std::string::npos) << node.output();
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "fresh/orv.key"));
}

TEST(Orvd, BadArgumentsAreRefused) {
  OrvdProcess bad({ORVD_PATH, "--connect", "not-an-address"});
  EXPECT_EQ(bad.Stop(0), 2);
}

}  // namespace
}  // namespace orv
