// Anyone can write a peer's UserId into a header: "ses_terminate" counts
// only from the address the session runs on, and "reject" only from the
// address this side's handshake was sent to.
#include <gtest/gtest.h>

#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::MakeDatagram;
using test::Node;
using test::RawSocket;
using test::kStranger;

// Sends a harmless datagram after the one under test and waits until
// `node` traced it: the receive thread handles datagrams one after the
// other, so the one under test has been handled by then.
bool HandledBefore(Node& node, RawSocket& from) {
  from.SendTo(node.port(), MakeDatagram(kStranger, kSesTerminate));
  return test::WaitFor([&] {
    for (const auto& t : node.host.Traces())
      if (t.direction == PacketDirection::kReceived && t.port == from.port() && SameUserId(t.user_id, kStranger))
        return true;
    return false;
  });
}

// Waits until `node` traced a datagram of `type` from `port`.
bool TracedFrom(Node& node, uint16_t port, uint32_t type) {
  return test::WaitFor([&] {
    for (const auto& t : node.host.Traces())
      if (t.direction == PacketDirection::kReceived && t.port == port && t.type == type) return true;
    return false;
  });
}

TEST(SpoofedTeardown, ATerminateFromAnotherAddressLeavesTheSession) {
  Node a(Alice());
  Node b(Bob());
  ASSERT_TRUE(test::ConnectNodes(a, b));
  RawSocket third;
  third.SendTo(b.port(), MakeDatagram(a.id(), kSesTerminate));
  ASSERT_TRUE(HandledBefore(b, third));
  ASSERT_TRUE(b.WaitIdle());
  EXPECT_TRUE(b.Connected(a.id()));
}

TEST(SpoofedTeardown, ARejectCountsOnlyFromTheAddressCalled) {
  Node a(Alice());
  RawSocket called;  // "Bob" as far as Alice knows: it never answers
  RawSocket third;
  PeerRef bob;
  CopyUserId(bob.user_id, Bob().record.certificate.user_id);
  bob.ipv4 = test::kLoopback;
  bob.port = called.port();
  EXPECT_EQ(a.Send(bob, 0, {1, 2, 3, 4}), 0);  // a ping goes out
  ASSERT_TRUE(called.Receive(30000));
  ASSERT_EQ(a.State(bob.user_id), static_cast<int32_t>(kPinging));

  third.SendTo(a.port(), MakeDatagram(bob.user_id, kReject));
  ASSERT_TRUE(HandledBefore(a, third));
  EXPECT_EQ(a.State(bob.user_id), static_cast<int32_t>(kPinging));

  called.SendTo(a.port(), MakeDatagram(bob.user_id, kReject));
  ASSERT_TRUE(TracedFrom(a, called.port(), kReject));
  EXPECT_TRUE(test::WaitFor([&] { return a.State(bob.user_id) == static_cast<int32_t>(kRejected); }));
}

}  // namespace
}  // namespace orv
