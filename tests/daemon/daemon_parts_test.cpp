// Session events from the peer table's changes, the command line that `orvd
// ctl` builds from its arguments, and the node's own options.
#include "daemon/session_watch.hpp"

#include <gtest/gtest.h>

#include "daemon/command_registry.hpp"
#include "daemon/control_ctl.hpp"
#include "daemon/daemon_options.hpp"

namespace orv {
namespace {

SessionEntry Entry(uint32_t first_word, uint16_t port) {
  SessionEntry entry;
  entry.ref.user_id[0] = first_word;
  entry.ref.ipv4 = 0x7F000001;
  entry.ref.port = port;
  return entry;
}

std::vector<uint32_t> Ids(const std::vector<SessionEntry>& entries) {
  std::vector<uint32_t> ids;
  for (const SessionEntry& entry : entries) ids.push_back(entry.ref.user_id[0]);
  return ids;
}

TEST(SessionWatch, DiffTellsEstablishedAndEndedByUserId) {
  const struct {
    std::vector<SessionEntry> before, now;
    std::vector<uint32_t> established, ended;
  } cases[] = {
      {{}, {}, {}, {}},
      {{}, {Entry(1, 5), Entry(2, 6)}, {1, 2}, {}},
      {{Entry(1, 5), Entry(2, 6)}, {Entry(2, 6)}, {}, {1}},
      {{Entry(1, 5)}, {Entry(1, 7)}, {}, {}},  // the same session at a new address
      {{Entry(1, 5)}, {Entry(2, 5)}, {2}, {1}},
  };
  for (const auto& c : cases) {
    const SessionChanges changes = DiffSessions(c.before, c.now);
    EXPECT_EQ(Ids(changes.established), c.established);
    EXPECT_EQ(Ids(changes.ended), c.ended);
  }
}

TEST(OrvdCtl, ArgumentsBecomeTheWordsTheNodeReads) {
  std::string error;
  const auto options =
      ParseCtlOptions({"--profile", "/p", "--timeout", "5", "chat", "ID", "two words", "\"quoted\"\n"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->profile, "/p");
  EXPECT_EQ(options->timeout_seconds, 5);
  CommandRegistry registry;
  std::vector<std::string> seen;
  registry.Add({"chat", {WordArg("ID"), WordArg("A"), TextArg()}, "", [&](const CommandArgs& args) {
                  seen = {args.Text(0), args.Text(1), args.Text(2)};
                  return Reply::Ok();
                }});
  ASSERT_TRUE(registry.Execute(CommandLineFromWords(options->command), {})->ok);
  EXPECT_EQ(seen, (std::vector<std::string>{"ID", "two words", "\"quoted\"\n"}));

  EXPECT_FALSE(ParseCtlOptions({"--events", "status"}, error));
  EXPECT_FALSE(ParseCtlOptions({"--timeout", "-1", "status"}, error));
  EXPECT_FALSE(ParseCtlOptions({"--bogus"}, error));
  EXPECT_TRUE(ParseCtlOptions({"--events"}, error)->events);
}

TEST(OrvdOptions, StdinCommandsIsAFlag) {
  std::string error;
  const char* with[] = {"orvd", "--stdin-commands", "--connect", "127.0.0.1:5"};
  const auto options = ParseDaemonOptions(4, with, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->stdin_commands);
  const char* without[] = {"orvd"};
  EXPECT_FALSE(ParseDaemonOptions(1, without, error)->stdin_commands);
}

}  // namespace
}  // namespace orv
