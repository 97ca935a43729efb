// Handshakes over a relay that loses chosen datagrams: each loss is made
// good by a resend or ends in the time-out described for it. Time passes
// only through RetryTick.
#include <gtest/gtest.h>

#include "net/net_text.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::DropNth;
using test::Relay;
using test::RelayedPair;

struct Lossy : RelayedPair {
  Lossy() : RelayedPair(Alice(), Bob()) {}
  std::string BAt() const { return AddressText(test::kLoopback, relay.port_for_a()); }
  std::string AAt() const { return AddressText(test::kLoopback, relay.port_for_b()); }
  // Alice calls Bob.
  void Call() { EXPECT_EQ(a.Send(BForA(), 1, {5, 0, 0, 0}), 0); }
  int32_t AState() { return a.State(b.id()); }
  int32_t BState() { return b.State(a.id()); }
};

TEST(Loss, ALostConfirmationFragmentIsResentTenSecondsLater) {
  Lossy p;
  DropNth drop{Relay::Side::kFromA, kSesConfirm, 4};
  p.relay.SetFilter(drop);
  p.Call();
  ASSERT_TRUE(test::WaitFor([&] { return *drop.seen == 9; }));
  ASSERT_TRUE(p.a.WaitIdle());
  EXPECT_EQ(p.AState(), kSesConfirmation);
  ASSERT_TRUE(test::WaitFor([&] { return p.b.Status(p.a.id())->received_control == 1 + 5 + 8; }));
  EXPECT_EQ(p.BState(), kWaitConfirmation);  // Bob still waits (30 s)
  p.b.Tick(200);
  p.a.Tick(100);
  EXPECT_EQ(p.a.host.CountLogs("Again send session confirmation"), 0u);
  p.a.Tick();
  EXPECT_EQ(p.a.host.CountLogs("Network: Again send session confirmation to " + p.BAt()), 1u);
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  EXPECT_EQ(p.a.host.CountLogs("Network: Session confirmed by " + p.BAt()), 1u);
}

TEST(Loss, ALostConfirmedIsMadeGoodByTheFirstSealedDatagram) {
  Lossy p;
  DropNth drop{Relay::Side::kFromB, kConfirmed, 1};
  p.relay.SetFilter(drop);
  p.Call();
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  ASSERT_TRUE(test::WaitFor([&] { return *drop.seen == 1; }));
  EXPECT_EQ(p.AState(), kSesConfirmation);
  // Alice resends her confirmation; Bob, connected, lets it be.
  const uint32_t before = p.b.Status(p.a.id())->received_control;
  p.a.Tick(101);
  EXPECT_EQ(p.a.host.CountLogs("Network: Again send session confirmation to " + p.BAt()), 1u);
  ASSERT_TRUE(test::WaitFor([&] { return p.b.Status(p.a.id())->received_control == before + 9; }));
  EXPECT_TRUE(p.b.Connected(p.a.id()));
  EXPECT_FALSE(p.a.Connected(p.b.id()));
  // "confirmed" in a state other than 3 changes nothing; Bob's first
  // sealed datagram confirms, and is itself delivered.
  ASSERT_GT(p.b.Send(p.AForB(), 0, {9, 8, 7, 6}), 0);
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.a.consumers.WaitForCount("dht", 1));
  EXPECT_EQ(p.a.host.CountLogs("Network: Session confirmed by " + p.BAt()), 1u);
  EXPECT_EQ(p.AState(), -1);
  // The session works both ways.
  ASSERT_GT(p.a.Send(p.BForA(), 2, {1}), 0);
  ASSERT_TRUE(p.b.consumers.WaitForCount("transfer", 1));
}

TEST(Loss, ALostResponseTimesBothSidesOutAndTheNextSendStartsAgain) {
  Lossy p;
  DropNth drop{Relay::Side::kFromB, kSesResponse, 1};
  p.relay.SetFilter(drop);
  p.Call();
  ASSERT_TRUE(test::WaitFor([&] { return *drop.seen == 11; }));
  ASSERT_TRUE(p.b.WaitIdle());
  ASSERT_TRUE(test::WaitFor([&] { return p.a.Status(p.b.id())->received_control == 1 + 10; }));
  EXPECT_EQ(p.AState(), kSesRequesting);
  EXPECT_EQ(p.BState(), kWaitConfirmation);

  // Alice resends her request; Bob, waiting for a confirmation, ignores it.
  p.a.Tick(101);
  EXPECT_EQ(p.a.host.CountLogs("Network: Again send session request to " + p.BAt()), 1u);
  ASSERT_TRUE(test::WaitFor([&] { return p.b.Status(p.a.id())->received_control == 1 + 5 + 5; }));
  EXPECT_EQ(p.BState(), kWaitConfirmation);
  // Bob gives up after 30 s.
  p.b.Tick(300);
  EXPECT_EQ(p.BState(), kWaitConfirmation);
  p.b.Tick();
  EXPECT_EQ(p.BState(), -1);
  EXPECT_EQ(p.b.host.CountLogs("Network: Timeout for connection from " + p.AAt()), 1u);
  // Alice resends ten times in all, then gives up.
  p.a.Tick(9 * 101);
  EXPECT_EQ(p.a.host.CountLogs("Again send session request"), 10u);
  EXPECT_EQ(p.AState(), kSesRequesting);
  p.a.Tick(101);
  EXPECT_EQ(p.a.host.CountLogs("Network: Timeout for sending requests to " + p.BAt()), 1u);
  EXPECT_EQ(p.AState(), -1);
  // The next send starts over, and this time nothing is lost.
  EXPECT_EQ(p.a.Send(p.BForA(), 1, {5, 0, 0, 0}), 0);
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
}

TEST(Loss, AnUnansweredCallPingsAfterFiveSecondsThenEveryTen) {
  Lossy p;
  p.relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kDrop; });
  p.Call();
  const auto pings = [&] { return p.a.host.CountTraces(PacketDirection::kSent, kPingReq); };
  EXPECT_EQ(pings(), 1u);
  p.a.Tick(50);
  EXPECT_EQ(pings(), 1u);
  p.a.Tick();
  EXPECT_EQ(pings(), 2u);
  p.a.Tick(100);
  EXPECT_EQ(pings(), 2u);
  p.a.Tick();
  EXPECT_EQ(pings(), 3u);
  p.a.Tick(5 * 101);
  EXPECT_EQ(pings(), 8u);
  EXPECT_EQ(p.AState(), kPinging);
  EXPECT_EQ(p.a.Status(p.b.id())->sent_control, 8u);
}

TEST(Loss, DuplicatedAndReorderedFragmentsStillMakeOneSession) {
  Lossy p;
  // Every handshake fragment arrives twice; each request is delivered in
  // reverse order.
  p.relay.SetFilter([](Relay::Side side, std::vector<uint8_t>& d) {
    const uint32_t type = test::DatagramTypeOf(d);
    if (type == kSesRequest && side == Relay::Side::kFromA) return Relay::Verdict::kHold;
    if (type == kSesResponse || type == kSesConfirm) return Relay::Verdict::kDuplicate;
    return Relay::Verdict::kPass;
  });
  p.Call();
  ASSERT_TRUE(test::WaitFor([&] { return p.relay.Held() == 5; }));
  p.relay.SetFilter([](Relay::Side, std::vector<uint8_t>& d) {
    const uint32_t type = test::DatagramTypeOf(d);
    return type == kSesResponse || type == kSesConfirm ? Relay::Verdict::kDuplicate : Relay::Verdict::kPass;
  });
  p.relay.Release();
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  ASSERT_TRUE(p.a.WaitIdle());
  ASSERT_TRUE(p.b.WaitIdle());
  EXPECT_EQ(p.b.host.CountLogs("Successful session confirmation"), 1u);
  EXPECT_EQ(p.a.host.CountLogs("Successful session response"), 1u);
  EXPECT_EQ(p.a.host.CountLogs("Wrong") + p.b.host.CountLogs("Wrong"), 0u);
}

}  // namespace
}  // namespace orv
