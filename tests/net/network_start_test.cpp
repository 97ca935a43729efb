// Whether the endpoint can receive: without a key or a password it stays
// disabled and says why, and starts once a password is given; another key
// loaded while running ends the old identity's sessions and speaks with
// the new UserId.
#include <gtest/gtest.h>

#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::Carol;
using test::FakeHost;
using test::kLoopback;
using test::Node;

TEST(NetworkStart, WithoutAKeyOrAPasswordTheEndpointStaysDisabledAndSaysWhy) {
  FakeHost keyless(nullptr);
  auto none = test::OpenLoopbackEndpoint(keyless);
  EXPECT_EQ(RestartNetwork(*none), NetworkStart::kNoKey);
  EXPECT_FALSE(none->enabled.load());
  EXPECT_EQ(NetworkProblemText(NetworkStart::kNoKey), "no key");

  FakeHost refusing(&Alice());
  refusing.RefusePassword(true);
  auto deaf = test::OpenLoopbackEndpoint(refusing);
  EXPECT_EQ(RestartNetwork(*deaf), NetworkStart::kNoPassword);
  EXPECT_FALSE(deaf->enabled.load());
  EXPECT_FALSE(deaf->threads_started);
}

// The password given at a later "Bootstrap" starts the receiving: a peer
// then opens a session with it.
TEST(NetworkStart, APasswordGivenLaterStartsTheReceiving) {
  FakeHost host(&Alice());
  host.RefusePassword(true);
  auto alice = test::OpenLoopbackEndpoint(host);
  ASSERT_EQ(RestartNetwork(*alice), NetworkStart::kNoPassword);
  host.RefusePassword(false);
  ASSERT_EQ(RestartNetwork(*alice), NetworkStart::kListening);
  EXPECT_TRUE(alice->enabled.load());

  Node bob(Bob());
  PeerRef at_alice;
  CopyUserId(at_alice.user_id, Alice().record.certificate.user_id);
  at_alice.ipv4 = kLoopback;
  at_alice.port = EndpointPort(*alice);
  EXPECT_EQ(bob.Send(at_alice, 0, {1, 2, 3, 4}), 0);  // a ping goes first
  EXPECT_TRUE(bob.WaitConnected(at_alice.user_id));
  CloseEndpoint(*alice);
}

// Loading another key: the peers of the old identity hear "ses_terminate"
// from it, and from then on every datagram carries the new UserId, so a
// peer opens a session with the new identity at the same address.
TEST(NetworkStart, AnotherKeyEndsTheOldSessionsAndSpeaksWithTheNewUserId) {
  Node alice(Alice());
  Node bob(Bob());
  ASSERT_TRUE(test::ConnectNodes(alice, bob));

  alice.host.UseIdentity(Carol());
  ASSERT_EQ(RestartNetwork(*alice.endpoint), NetworkStart::kListening);
  EXPECT_EQ(alice.host.CountTraces(PacketDirection::kSent, kSesTerminate), 1u);
  EXPECT_TRUE(test::WaitFor([&] { return !bob.Connected(Alice().record.certificate.user_id); }));
  EXPECT_TRUE(SameUserId(alice.id(), Carol().record.certificate.user_id));

  PeerRef carol = alice.Ref();
  EXPECT_EQ(bob.Send(carol, 0, {1, 2, 3, 4}), 0);
  ASSERT_TRUE(bob.WaitConnected(carol.user_id));
  ASSERT_TRUE(alice.WaitConnected(bob.id()));
  ASSERT_TRUE(test::WaitFor([&] { return bob.Send(carol, 0, {1, 2, 3, 4}) > 0; }));
}

}  // namespace
}  // namespace orv
