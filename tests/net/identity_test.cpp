// A node whose certificate is not the one its headers name: Carol's node,
// seen through a relay that writes Bob's UserId into her headers.
#include <gtest/gtest.h>

#include "net/net_text.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::Carol;
using test::Relay;
using test::RelayedPair;

struct Impostor : RelayedPair {
  Impostor() : RelayedPair(Alice(), Carol()) {
    const uint32_t* claimed = Bob().record.certificate.user_id;
    relay.SetFilter([claimed](Relay::Side side, std::vector<uint8_t>& d) {
      if (side == Relay::Side::kFromB) WordsToLeBytes(d.data(), claimed, kUserIdWords);
      return Relay::Verdict::kPass;
    });
  }
  // Carol as Alice knows her: Bob's UserId at the relay.
  PeerRef Claimed() const {
    PeerRef ref = BForA();
    CopyUserId(ref.user_id, Bob().record.certificate.user_id);
    return ref;
  }
  std::string Warning() const {
    const uint32_t* f = Carol().record.certificate.user_id;
    return FormatText(
        "USER ID IS NOT THE SAME AS KEY FINGERPTING from %s, user name: Carol, version 298, fingerprint %08X %08X "
        "%08X %08X %08X %08X %08X %08X",
        AddressText(test::kLoopback, relay.port_for_a()).c_str(), f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]);
  }
  size_t Warnings() {
    size_t n = 0;
    for (const std::string& m : a.host.Messages()) n += m == "Warning: " + Warning();
    return n;
  }
};

TEST(Identity, ACalledImpostorIsNeverConnectedAndEachAttemptWarnsOnce) {
  Impostor p;
  const PeerRef carol = p.Claimed();
  for (size_t attempt = 1; attempt <= 2; ++attempt) {
    EXPECT_EQ(p.a.Send(carol, 1, {5, 0, 0, 0}), 0);
    ASSERT_TRUE(p.a.host.WaitForLog("Network: " + p.Warning(), attempt));
    ASSERT_TRUE(p.a.WaitIdle());
    EXPECT_EQ(p.Warnings(), attempt);
    EXPECT_FALSE(p.a.Connected(carol.user_id));
    EXPECT_EQ(p.a.State(carol.user_id), -1);  // the setup went: the next send pings again
    EXPECT_EQ(p.a.host.CountLogs("Successful session response"), 0u);
    // Carol waits 30 s for a confirmation that never comes.
    ASSERT_TRUE(p.b.WaitIdle());
    EXPECT_EQ(p.b.State(p.a.id()), kWaitConfirmation);
    p.b.Tick(301);
    EXPECT_EQ(p.b.State(p.a.id()), -1);
  }
  // The record carries the name from the certificate, not a session.
  EXPECT_EQ(GetPeerName(*p.a.endpoint, carol.user_id), u"Carol");
  uint32_t digest[kUserIdWords];
  EXPECT_EQ(GetSessionId(*p.a.endpoint, carol.user_id, digest), 0);
  EXPECT_EQ(p.a.host.CountTraces(PacketDirection::kSent, kSesConfirm), 0u);
}

TEST(Identity, ACallingImpostorIsNeverConnectedAndTheAnsweringSideWarns) {
  Impostor p;
  EXPECT_EQ(p.b.Send(p.AForB(), 1, {5, 0, 0, 0}), 0);
  ASSERT_TRUE(p.a.host.WaitForLog("Network: " + p.Warning()));
  ASSERT_TRUE(p.a.WaitIdle());
  EXPECT_EQ(p.Warnings(), 1u);
  const PeerRef carol = p.Claimed();
  EXPECT_FALSE(p.a.Connected(carol.user_id));
  EXPECT_EQ(p.a.State(carol.user_id), -1);
  EXPECT_EQ(p.a.host.CountTraces(PacketDirection::kSent, kConfirmed), 0u);
  EXPECT_EQ(p.a.host.CountLogs("Successful session confirmation"), 0u);
  // Carol, never confirmed, is not connected either.
  ASSERT_TRUE(p.b.WaitIdle());
  EXPECT_FALSE(p.b.Connected(p.a.id()));
}

}  // namespace
}  // namespace orv
