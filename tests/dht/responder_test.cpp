// The pairs kept for other nodes: what is stored and answered, the bound
// on them, their expiry; and the answers to pings and find_node.
#include <gtest/gtest.h>

#include "dht/dht_fixture.hpp"

namespace orv::test {
namespace {

class ResponderTest : public DhtFixture {
 protected:
  ResponderTest() {
    for (int b = 200; b < 210; ++b) engine->NoteDhtNode(NodeIn(b, 1), false, nullptr);
  }
  void Store(const PeerRef& from, const uint32_t* pair_key, const uint32_t* value) {
    Receive(from, Bytes(KeyValueMessage(kStoreValue, pair_key, value)));
  }
  // The answer to find_value(key): the value found, or empty.
  std::vector<uint32_t> Ask(const uint32_t* asked_key) {
    sender.sent.clear();
    Receive(asker, Bytes(KeyMessage(kFindValue, asked_key)));
    EXPECT_EQ(sender.sent.size(), 1u);
    if (sender.sent.empty() || sender.sent[0].type() != kFindValueResp) return {};
    uint32_t k[kUserIdWords], v[kUserIdWords];
    ReadKeyValue(sender.sent[0].data.data(), k, v);
    return {v, v + kUserIdWords};
  }
  const PeerRef asker = NodeIn(150, 1);
  const PeerRef key = NodeIn(220, 5);
  const PeerRef alice = NodeIn(230, 1);
  const PeerRef bob = NodeIn(231, 1);
};

TEST_F(ResponderTest, PairsWithOneKeyAreKeptAndTheFirstIsAnswered) {
  Store(alice, key.user_id, alice.user_id);
  Store(bob, key.user_id, bob.user_id);
  EXPECT_EQ(sender.Count(kStoreValueResp), 2u);
  EXPECT_EQ(engine->Counts().stored_pairs, 2u);
  EXPECT_EQ(Ask(key.user_id), std::vector<uint32_t>(alice.user_id, alice.user_id + kUserIdWords));
}

TEST_F(ResponderTest, IdenticalPairIsAnsweredWithoutASecondCopy) {
  Store(alice, key.user_id, alice.user_id);
  Store(alice, key.user_id, alice.user_id);
  EXPECT_EQ(sender.Count(kStoreValueResp), 2u);
  EXPECT_EQ(engine->Counts().stored_pairs, 1u);
}

TEST_F(ResponderTest, AllZeroValueIsNeitherStoredNorAnswered) {
  const uint32_t zero[kUserIdWords] = {};
  Store(alice, key.user_id, zero);
  EXPECT_EQ(sender.Count(kStoreValueResp), 0u);
  EXPECT_EQ(engine->Counts().stored_pairs, 0u);
  EXPECT_TRUE(Ask(key.user_id).empty());
  EXPECT_EQ(sender.sent[0].type(), kFindValueNodes);
  // A real publication under the same keyword is then answered.
  Store(bob, key.user_id, bob.user_id);
  EXPECT_EQ(Ask(key.user_id), std::vector<uint32_t>(bob.user_id, bob.user_id + kUserIdWords));
}

TEST_F(ResponderTest, UnknownKeyIsAnsweredWithTheClosestNodes) {
  EXPECT_TRUE(Ask(key.user_id).empty());
  ASSERT_EQ(sender.sent[0].type(), kFindValueNodes);
  EXPECT_EQ(EntriesOf(sender.sent[0]).size(), 10u);
}

TEST_F(ResponderTest, PingAndFindNodeAreAnswered) {
  Receive(asker, Bytes(BareMessage(kDhtPing)));
  ASSERT_EQ(sender.Count(kDhtPingResp), 1u);
  EXPECT_TRUE(SameNode(sender.Of(kDhtPingResp)[0].to, asker));
  Receive(asker, Bytes(KeyMessage(kFindNode, NodeIn(205, 9).user_id)));
  ASSERT_EQ(sender.Count(kFindNodeResp), 1u);
  EXPECT_EQ(EntriesOf(sender.Of(kFindNodeResp)[0]).size(), 11u);  // ten nodes and the asker, heard live
  // Our own UserId: an empty list, 8 bytes.
  Receive(asker, Bytes(KeyMessage(kFindNode, OwnRef().user_id)));
  const SentMessage own = sender.Of(kFindNodeResp).back();
  EXPECT_EQ(own.data.size(), 8u);
  EXPECT_EQ(LoadLe32(own.data.data() + 4), 0u);
}

TEST_F(ResponderTest, PairsExpireUnlessStoredAgain) {
  Store(alice, key.user_id, alice.user_id);
  Store(bob, NodeIn(221, 1).user_id, bob.user_id);
  clock.now += kStoredPairLifetimeMs / 2;
  Store(alice, key.user_id, alice.user_id);  // stored again: its lifetime starts anew
  clock.now += kStoredPairLifetimeMs / 2;
  engine->DhtPass();
  EXPECT_EQ(engine->Counts().stored_pairs, 1u);
  EXPECT_FALSE(Ask(key.user_id).empty());
  EXPECT_TRUE(Ask(NodeIn(221, 1).user_id).empty());
}

TEST_F(ResponderTest, FloodFromOnePeerTakesOnlyItsShare) {
  for (uint32_t i = 0; i < 1000; ++i) {
    PeerRef k = NodeIn(240, i);
    Store(alice, k.user_id, alice.user_id);
  }
  EXPECT_EQ(engine->Counts().stored_pairs, kMaxPairsPerSender);
  EXPECT_EQ(sender.Count(kStoreValueResp), kMaxPairsPerSender);
  Store(bob, key.user_id, bob.user_id);
  EXPECT_EQ(engine->Counts().stored_pairs, kMaxPairsPerSender + 1);
}

TEST_F(ResponderTest, FloodFromManyPeersStopsAtTheBoundUntilPairsExpire) {
  for (uint32_t i = 0; i < kMaxStoredPairs + 500; ++i) {
    const PeerRef from = NodeIn(245, i);
    Store(from, from.user_id, from.user_id);
  }
  EXPECT_EQ(engine->Counts().stored_pairs, kMaxStoredPairs);
  EXPECT_EQ(sender.Count(kStoreValueResp), kMaxStoredPairs);
  clock.now += kStoredPairLifetimeMs;
  Store(alice, key.user_id, alice.user_id);
  EXPECT_EQ(engine->Counts().stored_pairs, 1u);
  EXPECT_EQ(sender.Count(kStoreValueResp), kMaxStoredPairs + 1);
}

}  // namespace
}  // namespace orv::test
