// Two orvd processes talk the way two people do, driven through `orvd ctl`:
// chat both ways, a call dialled, answered and hung up, and a 20 MiB file
// that arrives whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "orvd_process.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::OrvdProcess;
using test::TempDir;
using test::WriteWholeFile;

std::string Profile(const TempDir& dir, const std::string& name) {
  const std::string profile = dir / name;
  std::filesystem::create_directories(profile + "/received");
  WriteWholeFile(profile + "/orv.set", "[Network]\nLocalPort=0\nEnableUPnP=0\n[Files]\nFileTransferPath=" + profile +
                                           "/received\n");
  WriteWholeFile(dir / (name + ".pw"), "password of " + name + "\n");
  return profile;
}

std::vector<std::string> NodeArgs(const TempDir& dir, const std::string& name) {
  return {ORVD_PATH, "--profile", Profile(dir, name), "--password-file", dir / (name + ".pw"), "--name", name};
}

struct CtlResult {
  int status = -1;
  std::string output;
};

CtlResult Ctl(const std::string& profile, const std::vector<std::string>& words) {
  std::vector<std::string> args = {ORVD_PATH, "ctl", "--profile", profile, "--timeout", "60"};
  args.insert(args.end(), words.begin(), words.end());
  OrvdProcess ctl(args);
  CtlResult result;
  result.status = ctl.WaitExit(std::chrono::seconds(90));
  result.output = ctl.output();
  return result;
}

std::string FieldOf(const std::string& line, const std::string& key) {
  const size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return {};
  const size_t begin = at + key.size() + 2;
  return line.substr(begin, line.find_first_of(" \n", begin) - begin);
}

std::string Sha256Of(const std::string& path) {
  std::string out;
  FILE* p = ::popen(("sha256sum '" + path + "'").c_str(), "r");
  if (!p) return out;
  char buffer[128];
  if (std::fgets(buffer, sizeof buffer, p)) out = std::string(buffer).substr(0, 64);
  ::pclose(p);
  return out;
}

void WriteRandomFile(const std::string& path, size_t bytes) {
  std::mt19937_64 random(20261210);
  std::ofstream out(path, std::ios::binary);
  std::vector<char> block(1 << 16);
  for (size_t done = 0; done < bytes; done += block.size()) {
    for (char& c : block) c = static_cast<char>(random());
    out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), bytes - done)));
  }
}

class OrvdConversation : public ::testing::Test {
 protected:
  // Both nodes run once SetUp has passed.
  void SetUp() override {
    alice_profile = dir / "alice";
    bob_profile = dir / "bob";
    alice = std::make_unique<OrvdProcess>(NodeArgs(dir, "alice"));
    ASSERT_FALSE(alice->WaitFor("Control socket ").empty()) << alice->output();
    bob = std::make_unique<OrvdProcess>(NodeArgs(dir, "bob"));
    ASSERT_FALSE(bob->WaitFor("Control socket ").empty()) << bob->output();
    const CtlResult a = Ctl(alice_profile, {"status"});
    const CtlResult b = Ctl(bob_profile, {"status"});
    ASSERT_EQ(a.status, 0) << a.output;
    ASSERT_EQ(b.status, 0) << b.output;
    alice_port = FieldOf(a.output, "port");
    alice_id = FieldOf(a.output, "user");
    bob_id = FieldOf(b.output, "user");
  }

  void TearDown() override {
    for (auto* node : {&alice_profile, &bob_profile}) {
      EXPECT_EQ(Ctl(*node, {"quit"}).status, 0);
    }
    EXPECT_EQ(alice->WaitExit(), 0) << alice->output();
    EXPECT_EQ(bob->WaitExit(), 0) << bob->output();
  }

  // Bob writes to alice by address; the conversation opens on both sides.
  void ChatHello() {
    const CtlResult sent = Ctl(bob_profile, {"chat", "127.0.0.1:" + alice_port, "hello alice"});
    ASSERT_EQ(sent.status, 0) << sent.output;
    const std::string got = alice->WaitFor("event chat ");
    ASSERT_NE(got.find("text=\"hello alice\""), std::string::npos) << alice->output();
    EXPECT_EQ(FieldOf(got, "user"), bob_id);
    EXPECT_FALSE(bob->WaitFor("event delivered ").empty()) << bob->output();
  }

  TempDir dir;
  std::string alice_profile, bob_profile, alice_port, alice_id, bob_id;
  std::unique_ptr<OrvdProcess> alice, bob;
};

TEST_F(OrvdConversation, ChatBothWaysThenACall) {
  ChatHello();
  const CtlResult reply = Ctl(alice_profile, {"chat", bob_id, "hello bob, how are you?"});
  ASSERT_EQ(reply.status, 0) << reply.output;
  const std::string got = bob->WaitFor("event chat ");
  EXPECT_NE(got.find("text=\"hello bob, how are you?\""), std::string::npos) << bob->output();
  EXPECT_EQ(FieldOf(got, "user"), alice_id);
  const CtlResult list = Ctl(alice_profile, {"conversations"});
  EXPECT_NE(list.output.find("user=" + bob_id), std::string::npos) << list.output;

  ASSERT_EQ(Ctl(alice_profile, {"call", bob_id}).status, 0);
  const std::string ring = bob->WaitFor("event incoming_call ");
  ASSERT_FALSE(ring.empty()) << bob->output();
  EXPECT_NE(ring.find("is calling"), std::string::npos) << ring;
  const CtlResult answer = Ctl(bob_profile, {"answer", alice_id});
  ASSERT_EQ(answer.status, 0) << answer.output;
  EXPECT_FALSE(alice->WaitFor("event call_state ", std::chrono::seconds(60)).empty());
  EXPECT_FALSE(alice->WaitFor("name=\"IN VOICE\"").empty()) << alice->output();
  EXPECT_FALSE(bob->WaitFor("name=\"IN VOICE\"").empty()) << bob->output();

  ASSERT_EQ(Ctl(alice_profile, {"hangup", bob_id}).status, 0);
  EXPECT_FALSE(bob->WaitFor("name=IDLE").empty()) << bob->output();
  EXPECT_EQ(Ctl(bob_profile, {"hangup", alice_id}).status, 1);  // nothing left to hang up
}

TEST_F(OrvdConversation, ATwentyMegabyteFileArrivesWhole) {
  ChatHello();  // the session stands
  const std::string source = dir / "big.bin";
  WriteRandomFile(source, 20u << 20);
  const CtlResult offer = Ctl(alice_profile, {"send", bob_id, source});
  ASSERT_EQ(offer.status, 0) << offer.output;
  const std::string request = bob->WaitFor("event transfer_requested ");
  ASSERT_FALSE(request.empty()) << bob->output();
  EXPECT_EQ(FieldOf(request, "name"), "big.bin");
  const std::string target = bob_profile + "/received/copy.bin";
  const CtlResult accept = Ctl(bob_profile, {"accept", FieldOf(request, "transfer"), target});
  ASSERT_EQ(accept.status, 0) << accept.output;
  const std::string finished = bob->WaitFor("event transfer_finished ", std::chrono::seconds(600));
  ASSERT_FALSE(finished.empty()) << bob->output();
  EXPECT_EQ(Sha256Of(target), Sha256Of(source));
  EXPECT_FALSE(alice->WaitFor("event transfer_finished ", std::chrono::seconds(60)).empty());
  const CtlResult downloads = Ctl(bob_profile, {"downloads"});
  EXPECT_NE(downloads.output.find("copy.bin"), std::string::npos) << downloads.output;
}

}  // namespace
}  // namespace orv
