// Lookups by UserId: who is asked, how replies move the lookup on, how it
// ends (target reached, nobody left, silent nodes given up), and the
// bootstrap's part.
#include <gtest/gtest.h>

#include "dht/dht_fixture.hpp"

namespace orv::test {
namespace {

class LookupTest : public DhtFixture {
 protected:
  LookupTest() {
    for (int b = 100; b < 110; ++b) engine->NoteDhtNode(NodeIn(b, 1), false, nullptr);
    sender.sent.clear();
  }
  std::vector<SentMessage> Queries(const PeerRef& sought) {
    std::vector<SentMessage> out;
    for (const SentMessage& m : sender.Of(kFindNode)) {
      uint32_t key[kUserIdWords];
      ReadKey(m.data.data(), key);
      if (SameUserId(key, sought.user_id)) out.push_back(m);
    }
    return out;
  }
  void Reply(const PeerRef& from, const std::vector<PeerRef>& entries) {
    Receive(from, NodesReply(kFindNodeResp, entries));
  }
  const PeerRef target = NodeIn(105, 999);
};

TEST_F(LookupTest, KnownNodeAndOwnUserIdAreAnsweredAtOnce) {
  PeerRef out;
  EXPECT_TRUE(engine->LocateUser(NodeIn(103, 1).user_id, &out));
  EXPECT_TRUE(SameAddress(out, NodeIn(103, 1)));
  EXPECT_TRUE(engine->LocateUser(OwnRef().user_id, &out));
  EXPECT_TRUE(SameAddress(out, OwnRef()));
  EXPECT_TRUE(sender.sent.empty());
}

TEST_F(LookupTest, LookupAsksTheThreeClosestAndASecondCallWaitsForIt) {
  EXPECT_FALSE(engine->LocateUser(target.user_id, nullptr));
  const auto asked = Queries(target);
  ASSERT_EQ(asked.size(), kParallelQueries);
  // Closest by XOR distance: the target's own bucket, then the nodes that
  // differ from us lowest.
  EXPECT_TRUE(SameNode(asked[0].to, NodeIn(105, 1)));
  EXPECT_TRUE(SameNode(asked[1].to, NodeIn(100, 1)));
  EXPECT_TRUE(SameNode(asked[2].to, NodeIn(101, 1)));
  EXPECT_FALSE(engine->LocateUser(NodeIn(106, 5).user_id, nullptr));
  EXPECT_EQ(sender.Count(kFindNode), kParallelQueries);
}

TEST_F(LookupTest, ReachingTheTargetEndsTheLookupSoANewOneCanStart) {
  engine->LocateUser(target.user_id, nullptr);
  Reply(NodeIn(105, 1), {NodeIn(105, 2), target});
  ASSERT_EQ(events.ended.size(), 1u);
  EXPECT_TRUE(events.ended[0].found);
  EXPECT_TRUE(SameAddress(events.ended[0].at, target));
  EXPECT_FALSE(engine->Counts().lookup_running);
  EXPECT_EQ(Queries(target).size(), kParallelQueries);  // nothing more asked for it
  PeerRef out;
  EXPECT_TRUE(engine->LocateUser(target.user_id, &out));  // now in the table

  const PeerRef other = NodeIn(107, 444);
  EXPECT_FALSE(engine->LocateUser(other.user_id, nullptr));
  EXPECT_EQ(Queries(other).size(), kParallelQueries);
}

TEST_F(LookupTest, CloserEntriesAreAskedNextAndTheLookupEndsWhenNobodyIsLeft) {
  engine->LocateUser(target.user_id, nullptr);
  const PeerRef closer = NodeIn(105, 998);  // shares more bits with the target
  Reply(NodeIn(105, 1), {closer});
  // Each reply lets three more queries go, the closest entry first.
  ASSERT_EQ(Queries(target).size(), 6u);
  EXPECT_TRUE(SameNode(Queries(target)[3].to, closer));
  // Everyone answers with nothing new: the lookup runs out.
  for (const SentMessage& q : Queries(target)) Reply(q.to, {});
  for (int i = 0; i < 3 && events.ended.empty(); ++i)
    for (const SentMessage& q : Queries(target)) Reply(q.to, {});
  ASSERT_EQ(events.ended.size(), 1u);
  EXPECT_FALSE(events.ended[0].found);
  EXPECT_EQ(Queries(target).size(), 11u);  // every node of the shortlist was asked once
  EXPECT_FALSE(engine->Counts().lookup_running);
}

TEST_F(LookupTest, SilentNodesAreAskedAgainThenGivenUp) {
  engine->LocateUser(target.user_id, nullptr);
  for (int pass = 0; pass < 30 && events.ended.empty(); ++pass) Pass();
  ASSERT_EQ(events.ended.size(), 1u);
  EXPECT_FALSE(events.ended[0].found);
  // Ten nodes, three attempts each.
  EXPECT_EQ(Queries(target).size(), 10 * kQueryAttempts);
}

TEST_F(LookupTest, EntriesWithoutAddressOrPointingAtUsAreIgnored) {
  engine->LocateUser(target.user_id, nullptr);
  PeerRef no_address = NodeIn(105, 997);
  no_address.ipv4 = 0;
  PeerRef no_port = NodeIn(105, 996);
  no_port.port = 0;
  PeerRef us = OwnRef();
  us.ipv4 = 0x01020304;
  const size_t before = Nodes();
  Reply(NodeIn(105, 1), {no_address, no_port, us});
  EXPECT_EQ(Nodes(), before);
  EXPECT_TRUE(network.updates.empty());
  for (const SentMessage& m : sender.sent) {
    EXPECT_NE(m.to.ipv4, 0u);
    EXPECT_NE(m.to.port, 0u);
    EXPECT_FALSE(SameUserId(m.to.user_id, OwnRef().user_id));
  }
}

TEST_F(LookupTest, ReplyEntriesAreNotedAndReportedToTheNetwork) {
  engine->LocateUser(target.user_id, nullptr);
  const PeerRef named = NodeIn(120, 5);
  Reply(NodeIn(105, 1), {named});
  EXPECT_TRUE(Listed(named));
  ASSERT_EQ(network.updates.size(), 1u);
  EXPECT_TRUE(SameNode(network.updates[0], named));
  // The sender was heard live and told to the contact store.
  ASSERT_FALSE(contacts.noted.empty());
  EXPECT_TRUE(SameNode(contacts.noted.back(), NodeIn(105, 1)));
}

TEST_F(LookupTest, BootstrapAsksEveryNodeEachPassUntilTheFirstDhtMessage) {
  const PeerRef host = AddressOnly(0x0B000001, 31265);
  engine->NoteDhtNode(host, false, nullptr);
  engine->RequestBootstrap();
  EXPECT_TRUE(engine->Counts().bootstrap);
  Pass();
  const auto own_queries = [&] { return Queries(OwnRef()).size(); };
  EXPECT_EQ(own_queries(), 11u);
  Pass();
  EXPECT_EQ(own_queries(), 22u);
  // Any DHT message ends the bootstrap; the address-only node goes.
  Receive(NodeIn(104, 1), Bytes(BareMessage(kDhtPingResp)));
  EXPECT_FALSE(engine->Counts().bootstrap);
  EXPECT_FALSE(Listed(host));
  const size_t asked = own_queries();
  Pass();
  EXPECT_LE(own_queries(), asked + kParallelQueries);  // only the lookup of the own UserId goes on
  // A user's lookup does not wait for the bootstrap's.
  EXPECT_FALSE(engine->LocateUser(target.user_id, nullptr));
  EXPECT_EQ(Queries(target).size(), kParallelQueries);
  EXPECT_TRUE(events.ended.empty());
}

TEST_F(LookupTest, BootstrapLookupEndsSilentlyAndLeavesRoomForLocateUser) {
  engine->RequestBootstrap();
  for (int pass = 0; pass < 20 && engine->Counts().lookup_running; ++pass) {
    Pass();
    for (const SentMessage& q : Queries(OwnRef())) Reply(q.to, {});
  }
  EXPECT_FALSE(engine->Counts().lookup_running);
  EXPECT_TRUE(events.ended.empty());
  EXPECT_FALSE(engine->LocateUser(target.user_id, nullptr));
  EXPECT_EQ(Queries(target).size(), kParallelQueries);
}

TEST_F(LookupTest, PingOrLocatePingsAKnownNodeAtItsTableAddress) {
  PeerRef contact = NodeIn(102, 1);
  contact.port = 1234;  // an old address
  engine->PingOrLocate(contact);
  ASSERT_EQ(sender.Count(kDhtPing), 1u);
  EXPECT_EQ(sender.Of(kDhtPing)[0].to.port, NodeIn(102, 1).port);
  EXPECT_EQ(sender.Count(kFindNode), 0u);
}

TEST_F(LookupTest, PingOrLocateLooksUpAnUnknownContactAndPingsItsLastAddress) {
  engine->PingOrLocate(target);
  EXPECT_EQ(Queries(target).size(), kParallelQueries);
  EXPECT_TRUE(Listed(target));
  ASSERT_EQ(sender.Count(kDhtPing), 1u);
  EXPECT_TRUE(SameAddress(sender.Of(kDhtPing)[0].to, target));
}

}  // namespace
}  // namespace orv::test
