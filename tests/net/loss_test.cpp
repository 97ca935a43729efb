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
  // Alice calls Bob, who is connected by her confirmation; his "confirmed"
  // is lost on its way.
  bool CallLosingConfirmed() {
    DropNth drop{Relay::Side::kFromB, kConfirmed, 1};
    relay.SetFilter(drop);
    Call();
    return b.WaitConnected(a.id()) && test::WaitFor([&] { return *drop.seen == 1; });
  }
};

TEST(Loss, ALostConfirmationFragmentIsResentASecondLater) {
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
  p.a.Tick(10);
  EXPECT_EQ(p.a.host.CountLogs("Again send session confirmation"), 0u);
  p.a.Tick();
  EXPECT_EQ(p.a.host.CountLogs("Network: Again send session confirmation to " + p.BAt()), 1u);
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  // Logged once the receive thread has let go of the table.
  ASSERT_TRUE(p.a.host.WaitForLog("Network: Session confirmed by " + p.BAt()));
}

TEST(Loss, ALostConfirmedIsMadeGoodByTheFirstSealedDatagram) {
  Lossy p;
  ASSERT_TRUE(p.CallLosingConfirmed());
  EXPECT_EQ(p.AState(), kSesConfirmation);
  EXPECT_FALSE(p.a.Connected(p.b.id()));
  // Bob's first sealed datagram confirms, and is itself delivered.
  ASSERT_GT(p.b.Send(p.AForB(), 0, {9, 8, 7, 6}), 0);
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.a.consumers.WaitForCount("dht", 1));
  EXPECT_EQ(p.a.host.CountLogs("Network: Session confirmed by " + p.BAt()), 1u);
  EXPECT_EQ(p.AState(), -1);
  // The session works both ways.
  ASSERT_GT(p.a.Send(p.BForA(), 2, {1}), 0);
  ASSERT_TRUE(p.b.consumers.WaitForCount("transfer", 1));
}

TEST(Loss, ALostConfirmedIsSentAgainWhenTheConfirmationComesAgain) {
  Lossy p;
  ASSERT_TRUE(p.CallLosingConfirmed());
  // Alice, with nothing from Bob, resends her confirmation after a second;
  // Bob, connected by it already, answers "confirmed" again.
  p.a.Tick(11);
  EXPECT_EQ(p.a.host.CountLogs("Network: Again send session confirmation to " + p.BAt()), 1u);
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  EXPECT_EQ(p.b.host.CountTraces(PacketDirection::kSent, kConfirmed), 2u);
  // Bob's worker logs once it has let go of the peer (after "confirmed").
  ASSERT_TRUE(p.b.host.WaitForLog("Successful session confirmation"));
  ASSERT_TRUE(p.b.WaitIdle());
  EXPECT_EQ(p.b.host.CountLogs("Successful session confirmation"), 1u);
  ASSERT_GT(p.a.Send(p.BForA(), 2, {1}), 0);
  ASSERT_TRUE(p.b.consumers.WaitForCount("transfer", 1));
}

TEST(Loss, ALostResponseFragmentIsMadeGoodByTheResentRequest) {
  Lossy p;
  DropNth drop{Relay::Side::kFromB, kSesResponse, 1};
  p.relay.SetFilter(drop);
  p.Call();
  ASSERT_TRUE(test::WaitFor([&] { return *drop.seen == 11; }));
  ASSERT_TRUE(p.b.WaitIdle());
  ASSERT_TRUE(test::WaitFor([&] { return p.a.Status(p.b.id())->received_control == 1 + 10; }));
  EXPECT_EQ(p.AState(), kSesRequesting);
  EXPECT_EQ(p.BState(), kWaitConfirmation);
  // Alice resends her request a second later; Bob knows it and sends his
  // response again, which completes Alice's.
  p.a.Tick(11);
  EXPECT_EQ(p.a.host.CountLogs("Network: Again send session request to " + p.BAt()), 1u);
  ASSERT_TRUE(p.b.host.WaitForLog("Network: Same session request from " + p.AAt()));
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  EXPECT_EQ(p.b.host.CountLogs("Wait confirmation"), 1u);  // one answer, sent twice
}

TEST(Loss, AResponseNeverHeardTimesBothSidesOut) {
  Lossy p;
  p.relay.SetFilter([](Relay::Side side, std::vector<uint8_t>& d) {
    return side == Relay::Side::kFromB && test::DatagramTypeOf(d) == kSesResponse ? Relay::Verdict::kDrop
                                                                                  : Relay::Verdict::kPass;
  });
  p.Call();
  ASSERT_TRUE(p.b.host.WaitForLog("Wait confirmation"));
  ASSERT_TRUE(p.b.WaitIdle());
  // Alice resends after 1, 2, 4 and 8 s and then every 10 s, ten times in
  // all, and gives up.
  const int waits[] = {11, 21, 41, 81, 101, 101, 101, 101, 101, 101};
  for (size_t i = 0; i < std::size(waits); ++i) {
    p.a.Tick(waits[i] - 1);
    EXPECT_EQ(p.a.host.CountLogs("Again send session request"), i);
    p.a.Tick();
    EXPECT_EQ(p.a.host.CountLogs("Again send session request"), i + 1);
  }
  p.a.Tick(101);
  EXPECT_EQ(p.a.host.CountLogs("Network: Timeout for sending requests to " + p.BAt()), 1u);
  EXPECT_EQ(p.AState(), -1);
  // Bob, who answered every resend, gives up 30 s after the last.
  ASSERT_TRUE(p.b.host.WaitForLog("Same session request", 10));
  p.b.Tick(301);
  EXPECT_EQ(p.b.host.CountLogs("Network: Timeout for connection from " + p.AAt()), 1u);
  EXPECT_EQ(p.BState(), -1);
  // The next send starts over, and this time nothing is lost.
  p.relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kPass; });
  EXPECT_EQ(p.a.Send(p.BForA(), 1, {5, 0, 0, 0}), 0);
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
}

TEST(Loss, AnUnansweredCallPingsAfterOneTwoFourAndEightSecondsThenEveryTenAndGivesUp) {
  Lossy p;
  p.relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kDrop; });
  p.Call();
  const auto pings = [&] { return p.a.host.CountTraces(PacketDirection::kSent, kPingReq); };
  EXPECT_EQ(pings(), 1u);
  const int waits[] = {11, 21, 41, 81, 101, 101, 101, 101, 101, 101, 101, 101};
  for (size_t i = 0; i < std::size(waits); ++i) {
    p.a.Tick(waits[i] - 1);
    EXPECT_EQ(pings(), i + 1);
    p.a.Tick();
    EXPECT_EQ(pings(), i + 2);
  }
  EXPECT_EQ(p.AState(), kPinging);
  p.a.Tick(101);
  EXPECT_EQ(p.AState(), -1);
  EXPECT_EQ(p.a.host.CountLogs("Network: Timeout for sending requests to " + p.BAt()), 1u);
  EXPECT_EQ(p.a.Status(p.b.id())->sent_control, 13u);
}

TEST(Loss, SendsWhilePingingPingAtMostOnceASecond) {
  Lossy p;
  p.relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kDrop; });
  const auto pings = [&] { return p.a.host.CountTraces(PacketDirection::kSent, kPingReq); };
  for (int i = 0; i < 50; ++i) p.Call();
  EXPECT_EQ(pings(), 1u);
  p.a.Tick(9);
  p.Call();
  EXPECT_EQ(pings(), 1u);
  p.a.Tick();
  p.Call();
  EXPECT_EQ(pings(), 2u);
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
