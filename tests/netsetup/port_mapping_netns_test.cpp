// SetupPortMapping against a real miniupnpd on a router built from network
// namespaces (see NetnsLab). Skipped where namespaces cannot be made.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <memory>
#include <string>
#include <vector>

#include "netsetup/miniupnpc_client.hpp"
#include "netsetup/netns_lab.hpp"
#include "netsetup/port_mapping.hpp"
#include "platform/unique_fd.hpp"

namespace orv {
namespace {

using test::NetnsLab;

constexpr const char* kOtherMachine = "192.168.77.3";

// A UDP socket on a port the system picks.
UniqueFd BoundUdpSocket(uint16_t& port) {
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  socklen_t size = sizeof addr;
  if (!fd.valid() || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
    return {};
  }
  port = ntohs(addr.sin_port);
  return fd;
}

class PortMappingNetnsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    lab_ = std::make_unique<NetnsLab>();
    if (!lab_->Start(skip_reason_)) lab_.reset();
  }
  static void TearDownTestSuite() { lab_.reset(); }

  void SetUp() override {
    if (!lab_) GTEST_SKIP() << "port mapping against miniupnpd skipped: " << skip_reason_;
    settings_.NextAvailablePort = true;
    settings_.RandomPort = false;
  }

  // SetupPortMapping run in "lan", as the node behind the router runs it.
  bool SetupInLan(MappingAction action) {
    bool result = false;
    EXPECT_TRUE(lab_->RunInLan([&] {
      result = SetupPortMapping(settings_, action, state_, [this](std::string_view source, std::string_view text) {
        log_.push_back(std::string(source) + ": " + std::string(text));
      });
    }));
    return result;
  }

  // A mapping for another machine on the LAN, straight through miniupnpc.
  int MapForSomeoneElse(uint16_t external_port, uint16_t internal_port) {
    int result = -1;
    lab_->RunInLan([&] {
      MiniupnpcClient client;
      if (client.FindGateway(kUpnpDiscoveryWaitMs) != GatewaySearch::kFound) return;
      result = client.AddPortMapping(std::to_string(external_port), std::to_string(internal_port),
                                     kOtherMachine, "other", "UDP", "");
    });
    return result;
  }

  static std::unique_ptr<NetnsLab> lab_;
  static std::string skip_reason_;
  Settings settings_;
  PortMappingState state_;
  std::vector<std::string> log_;
};

std::unique_ptr<NetnsLab> PortMappingNetnsTest::lab_;
std::string PortMappingNetnsTest::skip_reason_;

TEST_F(PortMappingNetnsTest, MappedPortCarriesADatagramFromTheInternetToTheNode) {
  UniqueFd node;
  ASSERT_TRUE(lab_->RunInLan([&] { node = BoundUdpSocket(settings_.LocalPort); }));
  ASSERT_TRUE(node.valid());
  settings_.RemotePort = 40000;

  ASSERT_TRUE(SetupInLan(MappingAction::kMap)) << lab_->GatewayLog();
  EXPECT_EQ(log_, std::vector<std::string>{"upnp: UPnP mapping was set successfully"});
  EXPECT_EQ(settings_.RemotePort, 40000);
  EXPECT_EQ(state_.external_address.load(), ntohl(inet_addr(NetnsLab::kExternalAddress)));

  // From "wan", to the router's external address and port. A few tries,
  // each waiting at most half a second for the datagram.
  const std::string payload = "hello through the router";
  std::string received;
  for (int attempt = 0; attempt < 4 && received.empty(); ++attempt) {
    lab_->RunInWan([&] {
      UniqueFd sender(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(settings_.RemotePort);
      to.sin_addr.s_addr = inet_addr(NetnsLab::kExternalAddress);
      ::sendto(sender.get(), payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    });
    pollfd p{node.get(), POLLIN, 0};
    if (::poll(&p, 1, 500) == 1) {
      char buffer[64];
      sockaddr_in from{};
      socklen_t size = sizeof from;
      const ssize_t n = ::recvfrom(node.get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
      if (n > 0) received.assign(buffer, static_cast<size_t>(n));
      EXPECT_EQ(from.sin_addr.s_addr, inet_addr(NetnsLab::kWanAddress));
    }
  }
  EXPECT_EQ(received, payload);

  log_.clear();
  EXPECT_TRUE(SetupInLan(MappingAction::kRemove));
  EXPECT_EQ(log_, std::vector<std::string>{"upnp: UPnP mapping was removed successfully"});
  // The router no longer forwards the port.
  const std::string rules = lab_->GatewayRules();
  EXPECT_NE(rules.find("prerouting_miniupnpd"), std::string::npos) << rules;
  EXPECT_EQ(rules.find("dport 40000"), std::string::npos) << rules;
}

TEST_F(PortMappingNetnsTest, APortTakenBySomeoneElseMovesOnToTheNextOne) {
  settings_.LocalPort = 31265;
  ASSERT_EQ(MapForSomeoneElse(41000, 31265), 0) << lab_->GatewayLog();

  settings_.RemotePort = 41000;
  settings_.NextAvailablePort = false;
  EXPECT_FALSE(SetupInLan(MappingAction::kMap));
  EXPECT_EQ(settings_.RemotePort, 41000);
  EXPECT_EQ(log_, std::vector<std::string>{"upnp: ERROR: UPnP mapping can't be set"});

  log_.clear();
  settings_.NextAvailablePort = true;
  EXPECT_TRUE(SetupInLan(MappingAction::kMap));
  EXPECT_EQ(settings_.RemotePort, 41001);
  EXPECT_EQ(log_, (std::vector<std::string>{"upnp: ERROR: UPnP mapping can't be set",
                                            "upnp: UPnP mapping was set successfully"}));
  EXPECT_TRUE(SetupInLan(MappingAction::kRemove));
}

}  // namespace
}  // namespace orv
