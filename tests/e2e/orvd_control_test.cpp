// Two orvd processes driven through `orvd ctl`, the way scripts drive them:
// status, a session between them, peers, a bad command, events, and quit.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "orvd_nodes.hpp"
#include "orvd_process.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::OrvdProcess;
using test::TempDir;
using test::WriteWholeFile;
using test::Ctl;
using test::CtlResult;
using test::FieldOf;
using test::NodeArgs;


TEST(OrvdControl, TwoNodesDrivenThroughCtl) {
  TempDir dir;
  const std::string alice_profile = dir / "alice";
  const std::string bob_profile = dir / "bob";
  OrvdProcess alice(NodeArgs(dir, "alice"));
  ASSERT_FALSE(alice.WaitFor("Control socket ").empty()) << alice.output();
  OrvdProcess bob(NodeArgs(dir, "bob"));
  ASSERT_FALSE(bob.WaitFor("Control socket ").empty()) << bob.output();
  OrvdProcess alice_events({ORVD_PATH, "ctl", "--profile", alice_profile, "--events"});

  const CtlResult status = Ctl(alice_profile, {"status"});
  ASSERT_EQ(status.status, 0) << status.output;
  ASSERT_EQ(status.output.rfind("ok port=", 0), 0u) << status.output;
  const std::string alice_port = FieldOf(status.output, "port");
  const std::string alice_id = FieldOf(status.output, "user");
  EXPECT_EQ(alice_id.size(), 64u);
  EXPECT_NE(status.output.find(" enabled=1 "), std::string::npos) << status.output;
  EXPECT_NE(status.output.find(" sessions=0"), std::string::npos) << status.output;

  const CtlResult bad = Ctl(bob_profile, {"connect", "nowhere"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.output.rfind("error bad address", 0), 0u) << bad.output;

  const CtlResult connect = Ctl(bob_profile, {"connect", "127.0.0.1:" + alice_port});
  EXPECT_EQ(connect.status, 0) << connect.output;
  // Each node prints its events on its own output as well.
  const std::string established = bob.WaitFor("event session_established ");
  ASSERT_FALSE(established.empty()) << bob.output();
  EXPECT_EQ(FieldOf(established, "user"), alice_id) << established;
  EXPECT_EQ(FieldOf(established, "address"), "127.0.0.1:" + alice_port) << established;
  EXPECT_FALSE(alice.WaitFor("event session_established ").empty()) << alice.output();

  const CtlResult peers = Ctl(bob_profile, {"peers"});
  EXPECT_EQ(peers.status, 0);
  EXPECT_NE(peers.output.find("item user=" + alice_id + " address=127.0.0.1:" + alice_port + " name=alice"),
            std::string::npos)
      << peers.output;
  EXPECT_NE(peers.output.find("\nok count=1"), std::string::npos) << peers.output;

  const CtlResult quit = Ctl(alice_profile, {"quit"});
  EXPECT_EQ(quit.status, 0);
  EXPECT_EQ(quit.output, "ok\n");
  EXPECT_EQ(alice.WaitExit(), 0) << alice.output();
  EXPECT_FALSE(std::filesystem::exists(alice_profile + "/orvd.sock"));
  // The event client ends with the node, having seen the quit on its way.
  EXPECT_EQ(alice_events.WaitExit(), 0);
  EXPECT_NE(alice_events.output().find("source=Main text=\"Quit command from the socket pid"), std::string::npos)
      << alice_events.output();

  EXPECT_FALSE(bob.WaitFor("event session_ended user=" + alice_id).empty()) << bob.output();
  EXPECT_EQ(Ctl(bob_profile, {"quit"}).status, 0);
  EXPECT_EQ(bob.WaitExit(), 0) << bob.output();
  EXPECT_EQ(Ctl(bob_profile, {"status"}).status, 2);  // nobody listens any more
}

}  // namespace
}  // namespace orv
