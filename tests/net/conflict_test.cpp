// Two peers that call each other at the same moment.
#include <gtest/gtest.h>

#include "net/net_text.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::Relay;
using test::RelayedPair;

using Rewrite = std::function<void(Relay::Side, std::vector<uint8_t>&)>;

// Both calls are made while the relay holds every datagram; then both
// pings cross. `rewrite` sees every datagram the relay passes.
void CallEachOther(RelayedPair& p, const PeerRef& b_for_a, const PeerRef& a_for_b, Rewrite rewrite = nullptr) {
  auto holding = std::make_shared<std::atomic<bool>>(true);
  p.relay.SetFilter([holding, rewrite](Relay::Side side, std::vector<uint8_t>& d) {
    if (rewrite) rewrite(side, d);
    return holding->load() ? Relay::Verdict::kHold : Relay::Verdict::kPass;
  });
  EXPECT_EQ(p.a.Send(b_for_a, 1, {5, 0, 0, 0}), 0);
  EXPECT_EQ(p.b.Send(a_for_b, 1, {5, 0, 0, 0}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return p.relay.Held() == 2; }));
  holding->store(false);
  p.relay.Release();
}

TEST(Conflict, CallsInBothDirectionsAtOnceEndInExactlyOneSession) {
  RelayedPair p(Alice(), Bob());
  CallEachOther(p, p.BForA(), p.AForB());
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  ASSERT_TRUE(p.a.WaitIdle());
  ASSERT_TRUE(p.b.WaitIdle());

  uint32_t da[kUserIdWords], db[kUserIdWords];
  ASSERT_EQ(GetSessionId(*p.a.endpoint, p.b.id(), da), 1);
  ASSERT_EQ(GetSessionId(*p.b.endpoint, p.a.id(), db), 1);
  EXPECT_EQ(std::memcmp(da, db, sizeof da), 0);
  // The smaller first UserId word gives way; the greater keeps calling.
  const bool a_smaller = p.a.id()[0] < p.b.id()[0];
  test::Node& smaller = a_smaller ? p.a : p.b;
  test::Node& greater = a_smaller ? p.b : p.a;
  const std::string greater_at = AddressText(test::kLoopback, a_smaller ? p.relay.port_for_a() : p.relay.port_for_b());
  const std::string smaller_at = AddressText(test::kLoopback, a_smaller ? p.relay.port_for_b() : p.relay.port_for_a());
  EXPECT_EQ(smaller.host.CountLogs("Network: Conflicted ping requrest from " + greater_at +
                                   ", switched to passive mode"),
            1u);
  EXPECT_EQ(greater.host.CountLogs("Network: Conflicted ping requrest from " + smaller_at + ", request rejected"), 1u);
  // The refusal of the call given up does not stop the handshake running.
  EXPECT_EQ(smaller.host.CountLogs("Rejected connection"), 0u);
  EXPECT_EQ(smaller.host.CountLogs("Successful session confirmation"), 1u);
  EXPECT_EQ(greater.host.CountLogs("Successful session response"), 1u);
  EXPECT_EQ(greater.host.CountLogs("Successful session confirmation") + smaller.host.CountLogs("Successful session response"), 0u);
}

TEST(Conflict, EqualFirstUserIdWordsRejectEachOther) {
  RelayedPair p(Alice(), Bob());
  // The relay gives each node's datagrams the first word of the other's
  // UserId, so that each sees a caller whose first word equals its own.
  const uint32_t a0 = p.a.id()[0], b0 = p.b.id()[0];
  PeerRef b_for_a = p.BForA(), a_for_b = p.AForB();
  b_for_a.user_id[0] = a0;
  a_for_b.user_id[0] = b0;
  CallEachOther(p, b_for_a, a_for_b, [a0, b0](Relay::Side side, std::vector<uint8_t>& d) {
    StoreLe32(d.data(), side == Relay::Side::kFromA ? b0 : a0);
  });
  const std::string b_at = AddressText(test::kLoopback, p.relay.port_for_a());
  const std::string a_at = AddressText(test::kLoopback, p.relay.port_for_b());
  ASSERT_TRUE(p.a.host.WaitForLog("Network: Rejected connection to " + b_at));
  ASSERT_TRUE(p.b.host.WaitForLog("Network: Rejected connection to " + a_at));
  EXPECT_EQ(p.a.host.CountLogs("Network: Conflicted ping requrest from " + b_at + ", request rejected"), 1u);
  EXPECT_EQ(p.b.host.CountLogs("Network: Conflicted ping requrest from " + a_at + ", request rejected"), 1u);
  EXPECT_EQ(p.a.State(b_for_a.user_id), kRejected);
  EXPECT_EQ(p.b.State(a_for_b.user_id), kRejected);
  // State 7 holds for 30 s (300 ticks), then the setup goes and the next
  // call starts over with a ping.
  p.a.Tick(300);
  EXPECT_EQ(p.a.State(b_for_a.user_id), kRejected);
  p.a.Tick();
  EXPECT_EQ(p.a.State(b_for_a.user_id), -1);
  const size_t pings = p.a.host.CountTraces(PacketDirection::kSent, kPingReq);
  EXPECT_EQ(p.a.Send(b_for_a, 1, {5, 0, 0, 0}), 0);
  EXPECT_EQ(p.a.host.CountTraces(PacketDirection::kSent, kPingReq), pings + 1);
  EXPECT_FALSE(p.a.Connected(b_for_a.user_id));
}

}  // namespace
}  // namespace orv
