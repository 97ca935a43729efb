#include <gtest/gtest.h>

#include <thread>

#include "store/contacts.hpp"
#include "store_fixture.hpp"

namespace orv {
namespace {

using test::Peer;

class NodeList : public ::testing::Test, protected test::StoreFixture {
 protected:
  void Merge(const PeerRef& p, FileTime heard, std::optional<std::string> host = std::nullopt) {
    std::lock_guard guard(store.lock);
    MergeNode(store, NodeRecord{p, heard, std::move(host)});
  }
};

TEST_F(NodeList, SameUserIdFromNewAddressEndsAsOneRecordWithTheNewerAddress) {
  NoteNode(store, Peer(1, 0x01020304, 100));
  now += 10;
  NoteNode(store, Peer(1, 0x05060708, 200));
  const auto nodes = ListNodes(store);
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0].node.ipv4, 0x05060708u);
  EXPECT_EQ(nodes[0].node.port, 200);
  EXPECT_EQ(nodes[0].last_heard, now);
}

TEST_F(NodeList, OlderNewsDoesNotMoveAnEntryBack) {
  Merge(Peer(1, 0x0A000001, 100), now);
  Merge(Peer(1, 0x0A000002, 100), now - 1, "host.example");
  const auto nodes = ListNodes(store);
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0].node.ipv4, 0x0A000001u);
  EXPECT_EQ(nodes[0].last_heard, now);
  EXPECT_FALSE(nodes[0].host);
}

TEST_F(NodeList, AddressOnlyEntryTakesTheUserIdAndHostNameOfAMatchByAddress) {
  Merge(Peer(0, 0x0A000001, 31265), now - 5, "boot.example");
  Merge(Peer(7, 0x0A000001, 31265), now);
  auto nodes = ListNodes(store);
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_TRUE(SameUserId(nodes[0].node.user_id, Peer(7, 0, 0).user_id));
  EXPECT_EQ(nodes[0].last_heard, now);
  EXPECT_EQ(nodes[0].host, "boot.example");
  // A newer record with a host name gives it to an entry without one.
  Merge(Peer(9, 0x0A000009, 9), now);
  Merge(Peer(9, 0x0A000009, 9), now + 1, "nine.example");
  nodes = ListNodes(store);
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[1].host, "nine.example");
}

TEST_F(NodeList, EntriesWithoutUserIdAreAppendedEveryTime) {
  NoteNode(store, Peer(0, 0x0A000001, 31265));
  NoteNode(store, Peer(0, 0x0A000001, 31265));
  EXPECT_EQ(ListNodes(store).size(), 2u);
}

TEST_F(NodeList, FirstMatchWinsAndListKeepsOrder) {
  Merge(Peer(1, 0x0A000001, 1), now);
  Merge(Peer(2, 0x0A000002, 2), now);
  Merge(Peer(3, 0x0A000002, 2), now + 1);  // matches entry 2 by address; entry 2 keeps its UserId
  const auto nodes = ListNodes(store);
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[0].node.user_id[0], 1u);
  EXPECT_EQ(nodes[1].node.user_id[0], 2u);
  EXPECT_EQ(nodes[1].last_heard, now + 1);
}

TEST_F(NodeList, NoteNodeMovesAContactToTheNewAddress) {
  AddContact(store, Peer(4, 0x0A000001, 1), "Dave");
  NoteNode(store, Peer(4, 0x0A000004, 4));
  const auto c = FindContact(store, Peer(4, 0, 0).user_id);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->peer.ipv4, 0x0A000004u);
  EXPECT_EQ(c->peer.port, 4);
  // A contact kept without UserId is not moved by nodes heard by address.
  AddContact(store, Peer(0, 0x0A000001, 1), "No id");
  NoteNode(store, Peer(0, 0x0A000009, 9));
  EXPECT_EQ(FindContact(store, Peer(0, 0, 0).user_id)->peer.ipv4, 0x0A000001u);
}

TEST_F(NodeList, ForgetNodeUnlinksByUserIdOrForAddressOnlyEntriesByAddress) {
  Merge(Peer(0, 0x0A000001, 1), now);
  Merge(Peer(5, 0x0A000005, 5), now);
  Merge(Peer(0, 0x0A000002, 2), now);
  ContactObserver& observer = store;
  observer.ForgetNode(Peer(5, 0, 0));
  observer.ForgetNode(Peer(0, 0x0A000002, 2));
  observer.ForgetNode(Peer(6, 0, 0));  // unknown: nothing happens
  const auto nodes = ListNodes(store);
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0].node.ipv4, 0x0A000001u);
}

TEST_F(NodeList, ObserverCallsFromManyThreadsKeepEveryNode) {
  // The network layer calls from its receive thread while the interface
  // thread edits contacts; every call takes the store lock.
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < 4; ++t)
    threads.emplace_back([this, t] {
      ContactObserver& observer = store;
      for (uint32_t i = 0; i < 200; ++i) observer.NoteNode(Peer(1 + t * 1000 + i, 0x0A000000 + t * 1000 + i, 1000));
    });
  for (uint32_t i = 0; i < 200; ++i) AddContact(store, Peer(1 + i, 0, 0), "x");
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ListNodes(store).size(), 800u);
  FreeContactStore(store);
  EXPECT_TRUE(ListNodes(store).empty());
  EXPECT_TRUE(ListContacts(store).empty());
}

}  // namespace
}  // namespace orv
