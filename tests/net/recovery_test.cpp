// Sessions that come back by themselves: a handshake that one side runs
// with a peer that still holds the old session, and datagrams of the old
// session arriving in the middle of the new handshake. Time passes only
// through RetryTick.
#include <gtest/gtest.h>

#include "net/net_text.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::Relay;
using test::RelayedPair;

struct Connected : RelayedPair {
  Connected() : RelayedPair(Alice(), Bob()) {
    EXPECT_EQ(a.Send(BForA(), 0, {1, 0, 0, 0}), 0);
    EXPECT_TRUE(a.WaitConnected(b.id()));
    EXPECT_TRUE(b.WaitConnected(a.id()));
    EXPECT_TRUE(a.WaitIdle());
    EXPECT_TRUE(b.WaitIdle());
  }
  void Drop(Relay::Side dropped, uint32_t type = 0xff) {
    relay.SetFilter([dropped, type](Relay::Side side, std::vector<uint8_t>& d) {
      const bool match = side == dropped && (type == 0xff || test::DatagramTypeOf(d) == type);
      return match ? Relay::Verdict::kDrop : Relay::Verdict::kPass;
    });
  }
  void PassAll() {
    relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kPass; });
  }
  // Each side's sealed datagram reaches the other.
  void ExpectSessionBothWays() {
    const size_t at_b = b.consumers.Count("transfer");
    const size_t at_a = a.consumers.Count("transfer");
    ASSERT_GT(a.Send(BForA(), 2, {1}), 0);
    ASSERT_TRUE(b.consumers.WaitForCount("transfer", at_b + 1));
    ASSERT_GT(b.Send(AForB(), 2, {2}), 0);
    ASSERT_TRUE(a.consumers.WaitForCount("transfer", at_a + 1));
  }
};

TEST(Recovery, AHandshakeWithAPeerThatKeepsItsSessionTimesOutThereAndANewOneCompletes) {
  Connected p;
  // Nothing comes back from Bob: Alice's hundredth unanswered send loses
  // the session, and the next one pings.
  p.Drop(Relay::Side::kFromB);
  for (int i = 0; i < 100; ++i) ASSERT_GT(p.a.Send(p.BForA(), 0, {1, 0, 0, 0}), 0);
  p.a.Tick(50);
  EXPECT_EQ(p.a.Send(p.BForA(), 0, {1, 0, 0, 0}), 0);
  EXPECT_FALSE(p.a.Connected(p.b.id()));
  // Bob, still connected, answers the ping, and that handshake counts down
  // although he holds a session.
  ASSERT_TRUE(test::WaitFor([&] { return p.b.State(p.a.id()) == kPingRequested; }));
  EXPECT_TRUE(p.b.Connected(p.a.id()));
  p.b.Tick(51);
  EXPECT_EQ(p.b.State(p.a.id()), -1);
  EXPECT_EQ(p.b.host.CountLogs("Network: Timeout for connection from"), 1u);
  // The link is back: Alice's next ping finds Bob, and both hold the new session.
  p.PassAll();
  p.a.Tick(11);
  ASSERT_TRUE(p.b.host.WaitForLog("Successful session confirmation", 2));
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  p.ExpectSessionBothWays();
}

TEST(Recovery, ASealedDatagramOfTheOldSessionIsNoConfirmationOfTheNewOne) {
  Connected p;
  RestartNetwork(*p.a.endpoint);  // Alice forgets the session; Bob keeps it
  p.Drop(Relay::Side::kFromA, kSesConfirm);
  // Bob's sealed datagram, which Alice cannot open, makes her call him.
  ASSERT_GT(p.b.Send(p.AForB(), 0, {1, 0, 0, 0}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return p.a.State(p.b.id()) == kSesConfirmation; }));
  ASSERT_TRUE(p.a.WaitIdle());
  // Bob, connected under the old keys, sends again before he has the
  // confirmation: Alice must not take that as the new session.
  const size_t sealed = p.a.host.CountTraces(PacketDirection::kReceived, kEncoded);
  ASSERT_GT(p.b.Send(p.AForB(), 0, {1, 0, 0, 0}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return p.a.host.CountTraces(PacketDirection::kReceived, kEncoded) > sealed; }));
  EXPECT_FALSE(p.a.Connected(p.b.id()));
  EXPECT_EQ(p.a.State(p.b.id()), kSesConfirmation);
  // The confirmation gets through at the resend; both hold the new session.
  p.PassAll();
  p.a.Tick(11);
  ASSERT_TRUE(p.b.host.WaitForLog("Successful session confirmation", 2));
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  p.ExpectSessionBothWays();
}

}  // namespace
}  // namespace orv
