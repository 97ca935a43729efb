// Keyword publishing and search: the key rule, the three closest kept per
// slot, the publish cycle, and searches that report what they find and
// never store.
#include <gtest/gtest.h>

#include "crypto/block_hash.hpp"
#include "dht/dht_fixture.hpp"
#include "identity/utf16.hpp"

namespace orv::test {
namespace {

std::vector<uint32_t> HashOf(std::u16string_view part) {
  const std::string bytes = Utf16ToLeBytes(part);
  std::vector<uint32_t> key(kUserIdWords);
  Hash256(key.data(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return key;
}

std::vector<std::vector<uint32_t>> KeysOf(std::u16string_view text) {
  KeywordSlot slots[kKeywordSlots];
  const size_t n = KeywordKeys(text, slots);
  std::vector<std::vector<uint32_t>> keys;
  for (size_t i = 0; i < n; ++i) keys.emplace_back(slots[i].key, slots[i].key + kUserIdWords);
  return keys;
}

TEST(KeywordKeys, FollowTheCutRule) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> parts;
  };
  const Case cases[] = {
      {u"red fox", {u"red", u"fox", u"red fox"}},
      {u"red", {u"red", u"red"}},
      {u"red fox cub", {u"red", u"fox", u"", u"red fox cub"}},
      {u"red  fox", {u"red", u" fox", u"red  fox"}},
      {u"", {u""}},
      {u"r", {u"r", u"r"}},
      {u"red fox ", {u"red", u"fox", u"red fox "}},
  };
  for (const Case& c : cases) {
    std::vector<std::vector<uint32_t>> expected;
    for (const auto& part : c.parts) expected.push_back(HashOf(part));
    EXPECT_EQ(KeysOf(c.text), expected) << Utf16ToUtf8(c.text);
  }
}

TEST(KeepClosest, KeepsTheThreeClosestOnceEach) {
  KeywordSlot slot;
  CopyUserId(slot.key, NodeIn(200, 0).user_id);
  for (uint32_t t : {900u, 3u, 3u, 500u, 3u, 7u, 1u}) KeepClosest(slot, NodeIn(200, t));
  ASSERT_EQ(slot.closest_count, 3u);
  std::vector<uint16_t> ports;
  for (const PeerRef& p : slot.closest) ports.push_back(static_cast<uint16_t>(p.port - 40000));
  std::sort(ports.begin(), ports.end());
  EXPECT_EQ(ports, (std::vector<uint16_t>{1, 3, 7}));
  PeerRef no_port = NodeIn(200, 0);
  no_port.port = 0;
  KeepClosest(slot, no_port);
  for (const PeerRef& p : slot.closest) EXPECT_NE(p.port, 0);
}

class SlotTest : public DhtFixture {
 protected:
  SlotTest() : DhtFixture(u"red fox") {
    for (int b = 200; b < 256; ++b) engine->NoteDhtNode(NodeIn(b, 1), false, nullptr);
    sender.sent.clear();
  }
  size_t SentFor(uint32_t type, std::u16string_view part) {
    const auto key = HashOf(part);
    size_t n = 0;
    for (const SentMessage& m : sender.Of(type)) {
      uint32_t k[kUserIdWords];
      ReadKey(m.data.data(), k);
      n += SameUserId(k, key.data());
    }
    return n;
  }
};

TEST_F(SlotTest, PublishSlotsAskStoreAndCheckElevenPassesApart) {
  ASSERT_EQ(engine->PublishSlots().size(), 3u);
  Pass();
  EXPECT_EQ(SentFor(kFindValue, u"red"), 3u);
  EXPECT_EQ(sender.Count(kStoreValue), 0u);
  Pass(10);
  EXPECT_EQ(sender.Count(kStoreValue), 0u);
  Pass();
  EXPECT_EQ(SentFor(kStoreValue, u"fox"), 3u);
  for (const SentMessage& m : sender.Of(kStoreValue)) {
    uint32_t key[kUserIdWords], value[kUserIdWords];
    ReadKeyValue(m.data.data(), key, value);
    EXPECT_TRUE(SameUserId(value, OwnRef().user_id));
  }
  Pass(11);
  EXPECT_EQ(SentFor(kFindValue, u"red fox"), 6u);
}

TEST_F(SlotTest, ConfirmedPublicationStaysInTheCheckCycle) {
  Pass(23);  // asked, stored, checking (state 3)
  const auto key = HashOf(u"red");
  const PeerRef holder = NodeIn(255, 1);
  for (int round = 0; round < 3; ++round) {
    Receive(holder, Bytes(KeyValueMessage(kFindValueResp, key.data(), OwnRef().user_id)));
    Pass(11);
  }
  EXPECT_EQ(SentFor(kStoreValue, u"red"), 3u);  // never stored again
  const size_t stores_elsewhere = SentFor(kStoreValue, u"fox");
  Pass(40);  // without confirmation "fox" publishes afresh
  EXPECT_GT(SentFor(kStoreValue, u"fox"), stores_elsewhere);
}

TEST_F(SlotTest, AnotherUsersPairDoesNotConfirmThePublication) {
  Pass(23);  // asked, stored, checking (state 3)
  const auto key = HashOf(u"red");
  const PeerRef holder = NodeIn(255, 1);
  const PeerRef other_user = NodeIn(128, 77);
  for (int round = 0; round < 3; ++round) {
    Receive(holder, Bytes(KeyValueMessage(kFindValueResp, key.data(), other_user.user_id)));
    Pass(11);
  }
  EXPECT_GT(SentFor(kStoreValue, u"red"), 3u);  // published afresh
}

TEST_F(SlotTest, SearchAsksAtOnceAndNeverStoresWhatItHasNot) {
  engine->SearchByName(u"blue jay");
  EXPECT_EQ(SentFor(kFindValue, u"blue"), 3u);
  EXPECT_EQ(SentFor(kFindValue, u"blue jay"), 3u);
  Pass(60);
  EXPECT_EQ(SentFor(kStoreValue, u"blue"), 0u);
  EXPECT_EQ(SentFor(kStoreValue, u"jay"), 0u);
  EXPECT_GT(SentFor(kFindValue, u"blue"), 3u);  // it keeps asking
}

TEST_F(SlotTest, SearchReportsTheUserFoundLooksItUpAndDoesNotRepublishIt) {
  engine->SearchByName(u"blue jay");
  const auto key = HashOf(u"jay");
  const PeerRef user = NodeIn(128, 77);
  const PeerRef holder = NodeIn(255, 1);
  const uint32_t zero[kUserIdWords] = {};
  Receive(holder, Bytes(KeyValueMessage(kFindValueResp, key.data(), zero)));
  EXPECT_TRUE(events.names.empty());
  Receive(holder, Bytes(KeyValueMessage(kFindValueResp, key.data(), user.user_id)));
  Receive(holder, Bytes(KeyValueMessage(kFindValueResp, key.data(), user.user_id)));
  ASSERT_EQ(events.names.size(), 1u);
  EXPECT_TRUE(SameUserId(events.names[0].data(), user.user_id));
  size_t lookups = 0;
  for (const SentMessage& m : sender.Of(kFindNode)) {
    uint32_t k[kUserIdWords];
    ReadKey(m.data.data(), k);
    lookups += SameUserId(k, user.user_id);
  }
  EXPECT_GT(lookups, 0u);
  const size_t asked = SentFor(kFindValue, u"jay");
  Pass(60);
  EXPECT_EQ(sender.Count(kStoreValue) - SentFor(kStoreValue, u"red") - SentFor(kStoreValue, u"fox") -
                SentFor(kStoreValue, u"red fox"),
            0u);
  EXPECT_EQ(SentFor(kFindValue, u"jay"), asked);  // the search is over
}

TEST_F(SlotTest, NodesAnsweredForAKeyJoinTheSlotsAndAreReported) {
  engine->SearchByName(u"blue");
  const auto key = HashOf(u"blue");
  PeerRef closest = NodeIn(200, 0);
  CopyUserId(closest.user_id, key.data());
  closest.user_id[7] ^= 1;
  closest.ipv4 = 0x0C000001;
  Receive(NodeIn(255, 1), NodesReply(kFindValueNodes, {closest}));
  ASSERT_EQ(network.updates.size(), 1u);
  bool kept = false;
  for (const KeywordSlot& slot : engine->SearchSlots())
    for (uint32_t k = 0; k < slot.closest_count; ++k) kept |= SameAddress(slot.closest[k], closest);
  EXPECT_TRUE(kept);
}

}  // namespace
}  // namespace orv::test
