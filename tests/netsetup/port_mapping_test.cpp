#include "netsetup/port_mapping.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "crypto/wipe.hpp"
#include "netsetup/scripted_upnp_client.hpp"

namespace orv {
namespace {

using test::ScriptedUpnpClient;
using Line = std::pair<std::string, std::string>;

class PortMappingTest : public ::testing::Test {
 protected:
  PortMappingTest() {
    settings_.LocalPort = 31265;
    settings_.RemotePort = 31265;
    settings_.NextAvailablePort = true;
    settings_.RandomPort = false;
  }

  bool Run(MappingAction action) {
    return SetupPortMapping(settings_, action, state_, client_, [this](std::string_view source, std::string_view text) {
      log_.emplace_back(std::string(source), std::string(text));
    });
  }

  std::vector<std::string> AddedPorts() const {
    std::vector<std::string> ports;
    for (const auto& a : client_.added) ports.push_back(a.external_port);
    return ports;
  }

  static std::vector<Line> Lines(std::initializer_list<std::string_view> texts) {
    std::vector<Line> lines;
    for (auto t : texts) lines.emplace_back("upnp", std::string(t));
    return lines;
  }

  Settings settings_;
  PortMappingState state_;
  ScriptedUpnpClient client_;
  std::vector<Line> log_;
};

TEST_F(PortMappingTest, MapsTheRemotePortToTheLocalOneAndLearnsTheExternalAddress) {
  settings_.LocalPort = 4000;
  settings_.RemotePort = 5000;
  EXPECT_TRUE(Run(MappingAction::kMap));
  EXPECT_EQ(client_.discovery_waits, std::vector<int>{2000});
  const std::vector<ScriptedUpnpClient::Added> expected = {
      {"5000", "4000", "192.168.1.20", "ORV", "UDP", ""}};  // any remote host
  EXPECT_EQ(client_.added, expected);
  EXPECT_EQ(state_.external_address.load(), (203u << 24) | (0u << 16) | (113u << 8) | 7u);
  EXPECT_EQ(log_, Lines({"UPnP mapping was set successfully"}));
  EXPECT_EQ(client_.releases, 1);
}

TEST_F(PortMappingTest, TakenPortsMoveOnToTheNextAvailableOne) {
  client_.taken = {"31265", "31266"};
  EXPECT_TRUE(Run(MappingAction::kMap));
  EXPECT_EQ(AddedPorts(), (std::vector<std::string>{"31265", "31266", "31267"}));
  EXPECT_EQ(settings_.RemotePort, 31267);
  EXPECT_EQ(log_, Lines({"ERROR: UPnP mapping can't be set", "ERROR: UPnP mapping can't be set",
                         "UPnP mapping was set successfully"}));
}

TEST_F(PortMappingTest, WithoutASearchOptionOneAttemptIsMade) {
  settings_.NextAvailablePort = false;
  client_.taken = {"31265"};
  EXPECT_FALSE(Run(MappingAction::kMap));
  EXPECT_EQ(AddedPorts(), std::vector<std::string>{"31265"});
  EXPECT_EQ(settings_.RemotePort, 31265);
  EXPECT_EQ(log_, Lines({"ERROR: UPnP mapping can't be set"}));
}

TEST_F(PortMappingTest, TwentyRefusalsFailAndLeaveThePortMovedOnByTwenty) {
  settings_.RemotePort = 65530;  // the search wraps around with the 16-bit port
  for (int p = 0; p < 65536; ++p) client_.taken.insert(std::to_string(p));
  EXPECT_FALSE(Run(MappingAction::kMap));
  EXPECT_EQ(client_.added.size(), 20u);
  EXPECT_EQ(client_.added[6].external_port, "0");
  EXPECT_EQ(settings_.RemotePort, static_cast<uint16_t>(65530 + 20));
  EXPECT_EQ(log_.size(), 20u);
}

TEST_F(PortMappingTest, RandomPortTakesANewWipeGeneratorPortEachAttempt) {
  settings_.NextAvailablePort = false;
  settings_.RandomPort = true;
  SetWipeState(0x0123456789ABCDEFull);
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.push_back(std::to_string(RandomMappingPort()));
  client_.taken = {expected[0], expected[1]};
  SetWipeState(0x0123456789ABCDEFull);
  EXPECT_TRUE(Run(MappingAction::kMap));
  EXPECT_EQ(AddedPorts(), expected);
  EXPECT_EQ(std::to_string(settings_.RemotePort), expected[2]);
}

TEST(RandomMappingPortTest, LowByteThenHighByteFromTheWipeGenerator) {
  for (const uint64_t seed : {0ull, 1ull, 0xFEDCBA9876543210ull}) {
    SetWipeState(seed);
    const uint64_t x1 = WipeNext(seed);
    const uint64_t x2 = WipeNext(x1);
    const auto expected = static_cast<uint16_t>((WipeOutput(x1) & 0xFF) | ((WipeOutput(x2) & 0xFF) << 8));
    EXPECT_EQ(RandomMappingPort(), expected);
    EXPECT_EQ(WipeState(), x2);  // two steps, no more
  }
}

TEST_F(PortMappingTest, RemovesTheMappingOfTheRemotePort) {
  ASSERT_TRUE(Run(MappingAction::kMap));
  log_.clear();
  EXPECT_TRUE(Run(MappingAction::kRemove));
  const std::vector<ScriptedUpnpClient::Deleted> expected = {{"31265", "UDP", ""}};
  EXPECT_EQ(client_.deleted, expected);
  EXPECT_EQ(log_, Lines({"UPnP mapping was removed successfully"}));
}

TEST_F(PortMappingTest, RemovingAMappingThatDoesNotExistFails) {
  EXPECT_FALSE(Run(MappingAction::kRemove));
  EXPECT_EQ(log_, Lines({"UPnP mapping can't be removed"}));
}

TEST_F(PortMappingTest, NoDeviceFailsAndNoGatewayCountsAsDone) {
  const struct {
    GatewaySearch search;
    bool result;
  } cases[] = {{GatewaySearch::kNoDevice, false}, {GatewaySearch::kNoGateway, true}};
  for (const auto& c : cases) {
    for (const MappingAction action : {MappingAction::kMap, MappingAction::kRemove}) {
      ScriptedUpnpClient client;
      client.search = c.search;
      std::vector<Line> log;
      const bool result = SetupPortMapping(settings_, action, state_, client, [&](auto source, auto text) {
        log.emplace_back(std::string(source), std::string(text));
      });
      EXPECT_EQ(result, c.result);
      EXPECT_TRUE(client.added.empty() && client.deleted.empty());
      EXPECT_EQ(log, Lines({"ERROR: UPnP mapping can't be set"}));
      EXPECT_EQ(client.releases, 1);
    }
  }
  EXPECT_EQ(state_.external_address.load(), 0u);
}

TEST_F(PortMappingTest, AnExternalAddressThatIsNotDottedIpv4IsNotKept) {
  state_.external_address = 0x0A000001;
  for (const char* text : {"", "1.2.3", "256.1.1.1", "1.2.3.4x", "a.b.c.d"}) {
    client_.external_address = text;
    EXPECT_TRUE(Run(MappingAction::kMap));
    EXPECT_EQ(state_.external_address.load(), 0x0A000001u) << text;
  }
}

TEST(ParseIpv4TextTest, Cases) {
  EXPECT_EQ(ParseIpv4Text("0.0.0.0"), 0u);
  EXPECT_EQ(ParseIpv4Text("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseIpv4Text("1.2.3.4"), 0x01020304u);
  for (const char* bad : {"", "1.2.3.", ".1.2.3", "1..2.3", "-1.2.3.4", "1.2.3.4.5", "1.2.3.4 ", "1000.0.0.0"}) {
    EXPECT_FALSE(ParseIpv4Text(bad)) << bad;
  }
}

}  // namespace
}  // namespace orv
