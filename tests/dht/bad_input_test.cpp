// Hostile and broken DHT messages: truncated at every length, counts that
// do not fit (also those that would wrap a 32-bit length check), entries
// that point at us or nowhere. Nothing crashes, nothing bogus is kept or
// answered, the sender of a known type is still noted.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "dht/dht_fixture.hpp"

namespace orv::test {
namespace {

class BadInputTest : public DhtFixture {
 protected:
  BadInputTest() {
    for (int b = 200; b < 210; ++b) engine->NoteDhtNode(NodeIn(b, 1), false, nullptr);
  }
  const PeerRef peer = NodeIn(150, 3);
};

std::vector<uint8_t> FullMessage(uint32_t type) {
  const PeerRef some = NodeIn(201, 9);
  switch (type) {
    case kFindNode:
    case kFindValue:
      return Bytes(KeyMessage(type, some.user_id));
    case kStoreValue:
    case kFindValueResp:
      return Bytes(KeyValueMessage(type, some.user_id, some.user_id));
    case kFindNodeResp:
    case kFindValueNodes: {
      std::vector<PeerRef> three(3, some);
      three[1].port = 1;
      three[2].port = 2;
      return NodesReply(type, three);
    }
    default:
      return Bytes(BareMessage(type));
  }
}

TEST_F(BadInputTest, EveryTruncatedMessageIsDroppedButItsSenderNoted) {
  const uint32_t types[] = {kDhtPing,        kDhtPingResp, kFindNode,      kFindNodeResp, kStoreValue,
                            kStoreValueResp, kFindValue,   kFindValueResp, kFindValueNodes};
  for (uint32_t type : types) {
    const std::vector<uint8_t> full = FullMessage(type);
    for (size_t length = 0; length < full.size(); ++length) {
      Make(u"");
      for (int b = 200; b < 210; ++b) engine->NoteDhtNode(NodeIn(b, 1), false, nullptr);
      sender.sent.clear();
      network.updates.clear();
      engine->HandleDhtMessage(full.data(), length, peer);
      EXPECT_TRUE(sender.sent.empty()) << std::hex << type << " " << std::dec << length;
      EXPECT_TRUE(network.updates.empty());
      EXPECT_EQ(engine->Counts().stored_pairs, 0u);
      EXPECT_EQ(Listed(peer), length >= 4) << std::hex << type << " " << std::dec << length;
      EXPECT_EQ(Nodes(), 10u + (length >= 4));
    }
  }
}

TEST_F(BadInputTest, CountsThatDoNotFitAreNotProcessed) {
  struct Case {
    uint32_t count;
    size_t length;
  };
  const Case cases[] = {
      {3, 127},          // three entries need 128 bytes
      {21, 8 + 40 * 21},  // more than twenty entries, however long
      {0xffffffffu, 808},
      {0x06666667u, 32},  // 8 + 40 * count wraps to 32 in 32-bit arithmetic
      {0x80000000u, 808},
  };
  for (uint32_t type : {kFindNodeResp, kFindValueNodes}) {
    for (const Case& c : cases) {
      std::vector<uint8_t> data(c.length, 0x41);
      StoreLe32(data.data(), type);
      StoreLe32(data.data() + 4, c.count);
      engine->LocateUser(NodeIn(205, 500).user_id, nullptr);
      const size_t nodes = Nodes();
      const uint32_t queries = engine->CurrentLookup().queries;
      network.updates.clear();
      engine->HandleDhtMessage(data.data(), data.size(), peer);
      EXPECT_TRUE(network.updates.empty()) << c.count;
      EXPECT_EQ(engine->CurrentLookup().queries, queries);
      EXPECT_LE(Nodes(), nodes + 1);
      EXPECT_TRUE(Listed(peer));
    }
  }
}

TEST_F(BadInputTest, FindNodeRespAnnouncingThreeInFewerThan128BytesNotesTheSender) {
  std::vector<uint8_t> data = FullMessage(kFindNodeResp);
  data.resize(127);
  Receive(peer, data);
  EXPECT_TRUE(Listed(peer));
  EXPECT_EQ(Nodes(), 11u);
  EXPECT_TRUE(network.updates.empty());
}

TEST_F(BadInputTest, UnknownTypeIsIgnoredEntirelyButEndsTheBootstrap) {
  engine->RequestBootstrap();
  const std::vector<uint8_t> data = Bytes(BareMessage(0x7777));
  Receive(peer, data);
  EXPECT_FALSE(engine->Counts().bootstrap);
  EXPECT_FALSE(Listed(peer));
  EXPECT_TRUE(sender.sent.empty());
}

TEST_F(BadInputTest, EntriesAtUsOrNowhereAreNeverKeptAskedOrPinged) {
  engine->SearchByName(u"blue");
  engine->LocateUser(NodeIn(205, 500).user_id, nullptr);
  sender.sent.clear();
  PeerRef us = OwnRef();
  us.ipv4 = 0x0D000001;
  PeerRef no_address = NodeIn(205, 501);
  no_address.ipv4 = 0;
  PeerRef no_port = NodeIn(205, 502);
  no_port.port = 0;
  PeerRef unknown_no_port = AddressOnly(0x0D000002, 0);
  const std::vector<PeerRef> bad = {us, no_address, no_port, unknown_no_port};
  for (uint32_t type : {kFindNodeResp, kFindValueNodes}) Receive(peer, NodesReply(type, bad));
  Pass(30);
  EXPECT_TRUE(network.updates.empty());
  EXPECT_EQ(Nodes(), 11u);
  for (const SentMessage& m : sender.sent) {
    EXPECT_TRUE(Reachable(m.to));
    EXPECT_FALSE(SameUserId(m.to.user_id, OwnRef().user_id));
  }
  for (const KeywordSlot& slot : engine->SearchSlots())
    for (uint32_t k = 0; k < slot.closest_count; ++k) EXPECT_TRUE(Reachable(slot.closest[k]));
}

TEST_F(BadInputTest, RepliesFromStrangersDoNotGrowTheTableBeyondItsBuckets) {
  // Many full replies from many senders: the table stays within 20 nodes a
  // bucket and 10 candidates, and every node is listed once.
  for (uint32_t s = 0; s < 200; ++s) {
    std::vector<PeerRef> entries;
    for (uint32_t e = 0; e < kMaxReplyEntries; ++e) entries.push_back(NodeIn(240 + static_cast<int>(e % 4), s * 20 + e));
    Receive(NodeIn(230, s), NodesReply(kFindNodeResp, entries));
  }
  std::map<int, size_t> per_bucket;
  std::set<std::vector<uint32_t>> ids;
  for (const DhtNodeView& v : engine->ListNodes()) {
    ++per_bucket[v.bucket];
    EXPECT_TRUE(ids.emplace(v.node.ref.user_id, v.node.ref.user_id + kUserIdWords).second);
  }
  for (const auto& [bucket, n] : per_bucket) EXPECT_LE(n, kBucketSize) << bucket;
  EXPECT_LE(engine->Counts().candidates, kBucketCount * kCandidateSlots);
}

}  // namespace
}  // namespace orv::test

namespace orv::test {
namespace {

// Without a key the own UserId is all zero: nodes of unknown identity
// cannot be told from us and are not kept, and nothing breaks.
TEST(KeylessEngine, HandlesNotesMessagesAndPasses) {
  RecordingSender sender;
  FakeDhtNetwork network;
  ManualClock clock;
  DhtSetup setup;
  setup.own.ipv4 = 0x7f000001;
  setup.own.port = 31265;
  setup.sender = &sender;
  setup.network = &network;
  setup.clock = &clock;
  DhtEngine engine(setup);
  engine.NoteDhtNode(AddressOnly(0x0A000001, 31265), false, nullptr);
  const PeerRef peer = NodeIn(100, 1);
  engine.NoteDhtNode(peer, true, nullptr);
  engine.RequestBootstrap();
  engine.DhtPass();
  const std::vector<uint8_t> ping = Bytes(BareMessage(kDhtPing));
  engine.HandleDhtMessage(ping.data(), ping.size(), peer);
  sender.known_by_address.push_back(peer);
  engine.DhtPass();
  EXPECT_EQ(engine.Counts().nodes, 1u);
  EXPECT_FALSE(engine.Counts().bootstrap);
}

TEST(NodeStatusText, NamesTheStateAndThePingCount) {
  DhtNode node;
  EXPECT_EQ(NodeStatusText(node), "Unknown 0");
  node.state = kNodePinged;
  node.ping_count = 3;
  EXPECT_EQ(NodeStatusText(node), "Pinged 3");
  node.state = kNodePinged | kNodeResponded;
  EXPECT_EQ(NodeStatusText(node), "Responded 3");
}

}  // namespace
}  // namespace orv::test
