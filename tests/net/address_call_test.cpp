// Calls to an address whose user is not known yet: pinged on the
// handshake's schedule until a session stands or the call is given up,
// and the host hears which. Time passes only through RetryTick.
#include <gtest/gtest.h>

#include "net/address_call.hpp"
#include "net/net_text.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::Relay;
using test::RelayedPair;

struct Calling : RelayedPair {
  Calling() : RelayedPair(Alice(), Bob()) {}
  size_t Pings() { return a.host.CountTraces(PacketDirection::kSent, kPingReq); }
  void DropAll() {
    relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kDrop; });
  }
};

TEST(AddressCall, NobodyAnsweringIsPingedOnTheScheduleAndGivenUpWithItsReason) {
  Calling p;
  p.DropAll();
  ASSERT_TRUE(ConnectByAddress(*p.a.endpoint, test::kLoopback, p.relay.port_for_a()));
  EXPECT_EQ(p.Pings(), 1u);
  p.a.Tick(10);
  EXPECT_EQ(p.Pings(), 2u);  // after 1 s
  p.a.Tick(20);
  EXPECT_EQ(p.Pings(), 3u);  // 2 s later
  p.a.Tick(449 - 30);
  EXPECT_TRUE(p.a.host.Connects().empty());
  p.a.Tick(2);
  const auto ended = p.a.host.Connects();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_FALSE(ended[0].established);
  EXPECT_EQ(ended[0].reason, "no answer from " + AddressText(test::kLoopback, p.relay.port_for_a()));
  const size_t pings = p.Pings();
  p.a.Tick(200);
  EXPECT_EQ(p.Pings(), pings);  // nothing more
}

TEST(AddressCall, TheFirstPingsLostTheSessionStandsAndTheHostHearsIt) {
  Calling p;
  p.DropAll();
  ASSERT_TRUE(ConnectByAddress(*p.a.endpoint, test::kLoopback, p.relay.port_for_a()));
  p.a.Tick(30);  // three pings lost
  p.relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kPass; });
  p.a.Tick(40);  // the next goes through
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  p.a.Tick();
  const auto ended = p.a.host.Connects();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_TRUE(ended[0].established);
  EXPECT_TRUE(SameUserId(ended[0].peer.user_id, p.b.id()));
}

TEST(AddressCall, ADisabledEndpointStartsNoCall) {
  test::Node a{Alice()};
  a.endpoint->enabled.store(false);
  EXPECT_FALSE(ConnectByAddress(*a.endpoint, test::kLoopback, 9));
}

}  // namespace
}  // namespace orv
