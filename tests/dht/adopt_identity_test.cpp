// Another key loaded while running: the DHT keeps the nodes it knows,
// sorted by distance from the new UserId, and publishes the new name under
// the new UserId.
#include <gtest/gtest.h>

#include "dht/dht_fixture.hpp"

namespace orv::test {
namespace {

class AdoptIdentity : public DhtFixture {
 protected:
  AdoptIdentity() : DhtFixture(u"red fox") {}
};

TEST_F(AdoptIdentity, NodesAreKeptAndTheNewNameIsPublishedUnderTheNewUserId) {
  for (int b = 200; b < 210; ++b) engine->NoteDhtNode(NodeIn(b, 1), false, nullptr);
  const PeerRef close = NodeIn(250, 1);
  engine->NoteDhtNode(close, false, nullptr);
  ASSERT_EQ(Nodes(), 11u);

  // The new UserId is one of the known nodes: that node cannot stay (the
  // own UserId is never stored); the others are kept.
  engine->AdoptIdentity(close.user_id, u"blue whale");
  EXPECT_TRUE(SameUserId(engine->OwnId().data(), close.user_id));
  EXPECT_EQ(Nodes(), 10u);
  EXPECT_FALSE(Listed(close));
  for (const DhtNodeView& v : engine->ListNodes())
    EXPECT_EQ(v.bucket, BucketIndex(v.node.ref.user_id, close.user_id));

  const std::vector<KeywordSlot> slots = engine->PublishSlots();
  ASSERT_EQ(slots.size(), 3u);  // "blue", "whale", "blue whale"
  for (const KeywordSlot& slot : slots) EXPECT_TRUE(SameUserId(slot.value, close.user_id));
  PeerRef found;
  EXPECT_TRUE(engine->LocateUser(close.user_id, &found));
  EXPECT_TRUE(SameUserId(found.user_id, close.user_id));
}

}  // namespace
}  // namespace orv::test
