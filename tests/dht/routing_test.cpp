// The routing table: bucket numbers, insertion, candidates and their
// replacement with passes run directly, and the nodes ClosestNodes lists.
#include <gtest/gtest.h>

#include <set>

#include "dht/dht_fixture.hpp"

namespace orv::test {
namespace {

TEST(BucketIndex, IsTheHighestDifferingBitWithWordZeroOnTop) {
  struct Case {
    size_t word;
    uint32_t bits;
    int index;
  };
  const Case cases[] = {{0, 0x80000000u, 255}, {7, 1u, 0}, {0, 1u, 224}, {7, 0x80000000u, 31},
                        {3, 0x00010000u, 144}, {0, 0xffffffffu, 255}};
  for (const Case& c : cases) {
    uint32_t a[kUserIdWords] = {0x12345678, 1, 2, 3, 4, 5, 6, 7};
    uint32_t b[kUserIdWords];
    CopyUserId(b, a);
    b[c.word] ^= c.bits;
    EXPECT_EQ(BucketIndex(a, b), c.index) << c.word << " " << c.bits;
    EXPECT_EQ(BucketIndex(b, a), c.index);
  }
  const uint32_t same[kUserIdWords] = {9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(BucketIndex(same, same), -1);
}

TEST(BucketIndex, DistancesCompareWordZeroFirst) {
  const uint32_t key[kUserIdWords] = {};
  const uint32_t near[kUserIdWords] = {0, 0xffffffff, 0xffffffff, 0, 0, 0, 0, 0};
  const uint32_t far[kUserIdWords] = {1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(CloserTo(key, near, far));
  EXPECT_FALSE(CloserTo(key, far, near));
  EXPECT_EQ(CompareDistance(key, far, far), 0);
}

TEST(NodeEntry, HasThePeerRefLayoutLittleEndian) {
  PeerRef node;
  for (size_t i = 0; i < kUserIdWords; ++i) node.user_id[i] = 0x01020304u * static_cast<uint32_t>(i + 1);
  node.ipv4 = 0xC0A80102;  // 192.168.1.2
  node.port = 31265;
  uint8_t bytes[kNodeEntryBytes];
  std::memset(bytes, 0xee, sizeof bytes);
  StoreNodeEntry(bytes, node);
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(bytes[32], 0x02);
  EXPECT_EQ(bytes[35], 0xC0);
  EXPECT_EQ(bytes[36], 31265 & 0xff);
  EXPECT_EQ(bytes[37], 31265 >> 8);
  EXPECT_EQ(bytes[38], 0);
  EXPECT_EQ(bytes[39], 0);
  const PeerRef back = LoadNodeEntry(bytes);
  EXPECT_TRUE(SameUserId(back.user_id, node.user_id));
  EXPECT_TRUE(SameAddress(back, node));
}

using RoutingTest = DhtFixture;

TEST_F(RoutingTest, OwnUserIdAndNodesWithoutAddressAreNeverStored) {
  engine->NoteDhtNode(OwnRef(), true, &contacts);
  PeerRef no_address = NodeIn(100, 1);
  no_address.ipv4 = 0;
  PeerRef no_port = NodeIn(100, 2);
  no_port.port = 0;
  engine->NoteDhtNode(no_address, true, nullptr);
  engine->NoteDhtNode(no_port, false, nullptr);
  EXPECT_EQ(Nodes(), 0u);
  EXPECT_TRUE(contacts.noted.empty());  // our own node is not even told to the store
  engine->NoteDhtNode(NodeIn(100, 3), true, &contacts);
  EXPECT_EQ(Nodes(), 1u);
  EXPECT_EQ(contacts.noted.size(), 1u);
}

TEST_F(RoutingTest, FullBucketQueuesLiveNodesAsCandidatesWithoutDuplicates) {
  for (uint32_t t = 0; t < kBucketSize; ++t) engine->NoteDhtNode(NodeIn(200, t), false, nullptr);
  EXPECT_EQ(Nodes(), kBucketSize);
  engine->NoteDhtNode(NodeIn(200, 100), false, nullptr);  // not live: not even a candidate
  EXPECT_EQ(engine->Counts().candidates, 0u);
  // One chatty node takes one slot however often it is heard.
  for (int i = 0; i < 30; ++i) engine->NoteDhtNode(NodeIn(200, 101), true, nullptr);
  EXPECT_EQ(engine->Counts().candidates, 1u);
  for (uint32_t t = 102; t < 120; ++t) engine->NoteDhtNode(NodeIn(200, t), true, nullptr);
  EXPECT_EQ(engine->Counts().candidates, kCandidateSlots);  // the 11th and later are dropped
  EXPECT_EQ(Nodes(), kBucketSize);
  EXPECT_FALSE(Listed(NodeIn(200, 100)));
}

TEST_F(RoutingTest, LiveNoteMovesTheNodeToTheHeadAndSetsResponded) {
  for (uint32_t t = 0; t < 3; ++t) engine->NoteDhtNode(NodeIn(150, t), false, nullptr);
  PeerRef moved = NodeIn(150, 2);
  moved.port = 5555;
  engine->NoteDhtNode(moved, true, nullptr);
  const auto list = engine->ListNodes();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].bucket, 150);
  EXPECT_TRUE(SameUserId(list[0].node.ref.user_id, moved.user_id));
  EXPECT_EQ(list[0].node.ref.port, 5555);
  EXPECT_EQ(list[0].node.state, kNodeResponded);
}

TEST_F(RoutingTest, AddressHeardFromOthersNeverOverridesOneInUse) {
  const PeerRef node = NodeIn(90, 1);
  engine->NoteDhtNode(node, false, nullptr);
  PeerRef elsewhere = node;
  elsewhere.port = 7777;
  network.sessions.push_back(node);
  engine->NoteDhtNode(elsewhere, false, nullptr);
  EXPECT_TRUE(Listed(node));
  network.sessions.clear();
  engine->NoteDhtNode(elsewhere, false, nullptr);
  EXPECT_TRUE(Listed(elsewhere));
}

// Fills bucket 250 with nodes that have all answered, queues a candidate.
class UpkeepTest : public DhtFixture {
 protected:
  void FillAnswered() {
    for (uint32_t t = 0; t < kBucketSize; ++t) engine->NoteDhtNode(NodeIn(250, t), true, nullptr);
  }
  // The node pinged in the last pass answers, unless it is `silent`.
  void AnswerNewPing(const PeerRef* silent = nullptr) {
    const auto pings = sender.Of(kDhtPing);
    if (pings.size() == answered_) return;
    answered_ = pings.size();
    if (!silent || !SameUserId(pings.back().to.user_id, silent->user_id)) engine->NoteDhtNode(pings.back().to, true, nullptr);
  }
  size_t answered_ = 0;
  size_t PingsTo(const PeerRef& node) {
    size_t n = 0;
    for (const SentMessage& m : sender.Of(kDhtPing)) n += SameUserId(m.to.user_id, node.user_id);
    return n;
  }
};

TEST_F(UpkeepTest, WithoutCandidatesNobodyIsPinged) {
  FillAnswered();
  Pass(10);
  EXPECT_EQ(sender.Count(kDhtPing), 0u);
}

TEST_F(UpkeepTest, SilentNodeIsReplacedByTheCandidateAfterSixPings) {
  FillAnswered();
  const PeerRef candidate = NodeIn(250, 500);
  engine->NoteDhtNode(candidate, true, nullptr);
  // Every node but the silent one answers its ping at once.
  const PeerRef silent = NodeIn(250, 7);
  for (int pass = 0; pass < 40 && !Listed(candidate); ++pass) {
    Pass();
    AnswerNewPing(&silent);
  }
  EXPECT_TRUE(Listed(candidate));
  EXPECT_FALSE(Listed(silent));
  EXPECT_EQ(PingsTo(silent), 6u);
  const auto list = engine->ListNodes();
  EXPECT_EQ(list.size(), kBucketSize);
  EXPECT_EQ(engine->Counts().candidates, 0u);
}

TEST_F(UpkeepTest, WhenEveryNodeAnswersTheCandidatesAreDropped) {
  FillAnswered();
  const PeerRef candidate = NodeIn(250, 500);
  engine->NoteDhtNode(candidate, true, nullptr);
  for (size_t pass = 0; pass < kBucketSize + 1; ++pass) {
    Pass();
    AnswerNewPing();
  }
  EXPECT_EQ(sender.Count(kDhtPing), kBucketSize);
  EXPECT_EQ(engine->Counts().candidates, 0u);
  EXPECT_FALSE(Listed(candidate));
  for (const DhtNodeView& v : engine->ListNodes()) {
    EXPECT_EQ(v.node.state, 0u);
    EXPECT_EQ(v.node.ping_count, 0u);
  }
}

TEST_F(UpkeepTest, RoomLeftByADroppedNodeGoesToTheWaitingCandidate) {
  FillAnswered();
  const PeerRef candidate = NodeIn(250, 500);
  engine->NoteDhtNode(candidate, true, nullptr);
  engine->DropDhtNode(NodeIn(250, 3));
  Pass();
  EXPECT_TRUE(Listed(candidate));
  EXPECT_EQ(engine->ListNodes()[0].node.ref.port, candidate.port);
}

TEST_F(RoutingTest, NodeThatLearnsItsUserIdMovesToItsBucketAndIsListedOnce) {
  const PeerRef host = NodeIn(180, 9);
  const PeerRef placeholder = AddressOnly(host.ipv4, host.port);
  engine->NoteDhtNode(placeholder, false, nullptr);
  engine->NoteDhtNode(placeholder, false, nullptr);  // the same address again: still one
  ASSERT_EQ(Nodes(), 1u);
  EXPECT_EQ(engine->ListNodes()[0].bucket, 255);  // the bucket of the all-zero UserId
  engine->NoteDhtNode(host, false, nullptr);
  EXPECT_EQ(Nodes(), 2u);  // named by a third party: not yet known to be the same node

  // The network layer knows the peer at that address: a ping fills in its UserId.
  sender.known_by_address.push_back(host);
  engine->RequestBootstrap();
  Pass();
  const auto list = engine->ListNodes();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].bucket, 180);
  PeerRef closest[kMaxReplyEntries];
  EXPECT_EQ(engine->ClosestNodes(host.user_id, closest), 1u);
}

TEST_F(RoutingTest, LiveNodeReplacesTheAddressOnlyEntryAtItsAddress) {
  const PeerRef host = NodeIn(180, 9);
  engine->NoteDhtNode(AddressOnly(host.ipv4, host.port), false, nullptr);
  engine->NoteDhtNode(host, true, nullptr);
  const auto list = engine->ListNodes();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].bucket, 180);
  // And a known node's address is not listed again without UserId.
  engine->NoteDhtNode(AddressOnly(host.ipv4, host.port), false, nullptr);
  EXPECT_EQ(Nodes(), 1u);
}

TEST_F(RoutingTest, ClosestNodesWalksTheKeysBucketThenDownThenUp) {
  for (int b : {10, 60, 61, 62, 200}) engine->NoteDhtNode(NodeIn(b, 1), false, nullptr);
  PeerRef out[kMaxReplyEntries];
  const PeerRef key = NodeIn(61, 77);
  ASSERT_EQ(engine->ClosestNodes(key.user_id, out), 5u);
  const int expected[] = {61, 60, 10, 62, 200};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(BucketIndex(out[i].user_id, OwnRef().user_id), expected[i]) << i;
  EXPECT_EQ(engine->ClosestNodes(OwnRef().user_id, out), 0u);
}

TEST_F(RoutingTest, ClosestNodesOnAFullTableGivesTwentyDistinctNodes) {
  for (int b = 32; b < 256; ++b)
    for (uint32_t t = 0; t < kBucketSize; ++t) engine->NoteDhtNode(NodeIn(b, t), false, nullptr);
  PeerRef out[kMaxReplyEntries];
  const PeerRef key = NodeIn(128, 999);
  ASSERT_EQ(engine->ClosestNodes(key.user_id, out), kMaxReplyEntries);
  std::set<std::vector<uint32_t>> ids;
  for (const PeerRef& p : out) ids.emplace(p.user_id, p.user_id + kUserIdWords);
  EXPECT_EQ(ids.size(), kMaxReplyEntries);
}

TEST_F(RoutingTest, DropTakesTheNodeOutOfItsBucket) {
  const PeerRef node = NodeIn(77, 1);
  engine->NoteDhtNode(node, false, nullptr);
  engine->DropDhtNode(node);
  EXPECT_EQ(Nodes(), 0u);
}

}  // namespace
}  // namespace orv::test
