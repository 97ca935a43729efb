// The peer table: names, queries, sends by address, address updates, stale
// records and the search by name.
#include <gtest/gtest.h>

#include "net/name_exchange.hpp"
#include "net/net_text.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::MakeDatagram;
using test::Node;
using test::RawSocket;

const uint32_t kStranger[kUserIdWords] = {0x11111111, 2, 3, 4, 5, 6, 7, 8};
const uint32_t kOther[kUserIdWords] = {0x22222222, 2, 3, 4, 5, 6, 7, 8};

std::vector<uint8_t> Utf16(const std::u16string& text) {
  const std::string bytes = test::Utf16Le(text);
  return {bytes.begin(), bytes.end()};
}

std::shared_ptr<PeerRecord> Named(const std::u16string& name) {
  auto record = NewPeerRecord(PeerRef{});
  record->name.fill(0);
  std::copy(name.begin(), name.end(), record->name.begin());
  record->name_length = static_cast<uint32_t>(2 * name.size());
  return record;
}

TEST(PeerTable, NamesMatchOverTheShorterLength) {
  struct Case {
    std::u16string name, query;
    bool match;
  } cases[] = {
      {u"Bob", u"Bo", true},         // the query begins the name
      {u"Bob", u"Bobby", true},      // the query begins with the whole name
      {u"Bob", u"Bob", true},
      {u"Bob", u"", true},           // an empty query matches
      {u"", u"Alice", true},         // so does an empty name
      {u"Bob", u"bob", false},       // case counts
      {u"Bob", u"Al", false},
      {u"\u00e9lan", u"\u00e9", true},
      {u"\u00e9lan", u"\u00e8", false},
  };
  for (const Case& c : cases) {
    const auto record = Named(c.name);
    const auto q = Utf16(c.query);
    EXPECT_EQ(NameMatches(*record, q.data(), q.size()), c.match)
        << std::string(c.name.begin(), c.name.end()) << " / " << std::string(c.query.begin(), c.query.end());
  }
  const auto fresh = NewPeerRecord(PeerRef{});
  EXPECT_EQ(std::u16string(fresh->name.data(), fresh->name_length / 2), u"<unknown>");
  EXPECT_EQ(fresh->name_length, 18u);
}

TEST(PeerTable, QueriesOnAnUnknownUserIdCreateNothing) {
  Node a(Alice());
  uint32_t digest[kUserIdWords];
  PeerRef ref;
  EXPECT_EQ(GetPeerName(*a.endpoint, kStranger), u"<unknown>");
  EXPECT_EQ(GetPeerPresence(*a.endpoint, kStranger), 0);
  EXPECT_EQ(GetSessionId(*a.endpoint, kStranger, digest), 0);
  EXPECT_EQ(GetPeerRef(*a.endpoint, kStranger, ref), 0);
  EXPECT_FALSE(GetPeerStatus(*a.endpoint, kStranger));
  EXPECT_TRUE(ListPeers(*a.endpoint).empty());
  // Nothing to find, nobody to ask.
  const auto q = Utf16(u"Bob");
  EXPECT_FALSE(FindUserByName(*a.endpoint, q.data(), q.size(), digest));
  EXPECT_TRUE(a.host.Traces().empty());
  EXPECT_FALSE(FindUserByName(*a.endpoint, q.data(), 447, digest));
}

TEST(PeerTable, SendsByAddressFillInTheUserIdOrOnlyPing) {
  Node a(Alice());
  RawSocket known, unknown;
  // A stranger pings from `known`: Alice records him there and answers.
  std::vector<uint8_t> ping(8);
  StoreLe32(ping.data(), 2);
  known.SendTo(a.port(), MakeDatagram(kStranger, kPingReq, ping));
  ASSERT_TRUE(known.Receive(30000));
  PeerRef ref;
  ASSERT_EQ(GetPeerRef(*a.endpoint, kStranger, ref), 1);
  EXPECT_EQ(ref.port, known.port());

  PeerRef by_address;
  by_address.ipv4 = test::kLoopback;
  by_address.port = known.port();
  const uint8_t data[4] = {1};
  SendRequest request;
  request.target = &by_address;
  request.data = data;
  request.length = 4;
  EXPECT_EQ(SendToPeer(*a.endpoint, request), 0);
  EXPECT_EQ(std::vector<uint32_t>(by_address.user_id, by_address.user_id + 8),
            std::vector<uint32_t>(kStranger, kStranger + 8));
  by_address = PeerRef{};
  by_address.ipv4 = test::kLoopback;
  by_address.port = unknown.port();
  EXPECT_EQ(SendToPeer(*a.endpoint, request), 0);
  const auto got = unknown.Receive(30000);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->size(), kPingBytes);
  EXPECT_EQ(test::DatagramTypeOf(*got), kPingReq);
  EXPECT_TRUE(IsZeroUserId(by_address.user_id));
  EXPECT_EQ(ListPeers(*a.endpoint).size(), 1u);
  // Sends to the own UserId go nowhere.
  EXPECT_EQ(a.Send(a.Ref(), 0, {1}), 0);
  EXPECT_EQ(ListPeers(*a.endpoint).size(), 1u);
}

TEST(PeerTable, AddressUpdatesForPeersWithoutSession) {
  Node a(Alice());
  RawSocket first, second, probe;
  std::vector<uint8_t> ping(8);
  StoreLe32(ping.data(), 2);
  first.SendTo(a.port(), MakeDatagram(kStranger, kPingReq, ping));
  ASSERT_TRUE(first.Receive(30000));

  PeerRef moved;
  CopyUserId(moved.user_id, kStranger);
  moved.ipv4 = 0x0A000102;
  moved.port = 4000;
  UpdatePeerAddress(*a.endpoint, moved);
  PeerRef ref;
  ASSERT_EQ(GetPeerRef(*a.endpoint, kStranger, ref), 1);
  EXPECT_EQ(ref.ipv4, 0x0A000102u);
  EXPECT_EQ(ref.port, 4000);
  const std::string line = FormatText(
      "Updated IP and port for 11111111 00000002 00000003 00000004 00000005 00000006 00000007 00000008 from "
      "127.  0.  0.  1:%5d to  10.  0.  1.  2: 4000",
      first.port());
  EXPECT_EQ(a.host.AddressLines(), std::vector<std::string>{line});
  EXPECT_EQ(a.consumers.Count("note"), 1u);

  // The same address again, or one with a zero part, changes nothing.
  UpdatePeerAddress(*a.endpoint, moved);
  moved.port = 0;
  UpdatePeerAddress(*a.endpoint, moved);
  moved.port = 5000;
  moved.ipv4 = 0;
  UpdatePeerAddress(*a.endpoint, moved);
  ASSERT_EQ(GetPeerRef(*a.endpoint, kStranger, ref), 1);
  EXPECT_EQ(ref.port, 4000);
  EXPECT_EQ(a.host.AddressLines().size(), 1u);

  // An unknown peer is probed with a ping, and recorded.
  PeerRef other;
  CopyUserId(other.user_id, kOther);
  other.ipv4 = test::kLoopback;
  other.port = probe.port();
  UpdatePeerAddress(*a.endpoint, other);
  const auto got = probe.Receive(30000);
  ASSERT_TRUE(got);
  EXPECT_EQ(test::DatagramTypeOf(*got), kPingReq);
  EXPECT_EQ(a.State(kOther), kPinging);
  EXPECT_EQ(a.host.AddressLines().size(), 1u);
}

// Alice and Bob hold a session; Alice also keeps a record of an older
// identity at Bob's address.
TEST(PeerTable, APingAnswerFromAConnectedPeerRemovesOlderRecordsAtItsAddress) {
  Node a(Alice());
  Node b(Bob());
  EXPECT_EQ(a.Send(b.Ref(), 0, {1}), 0);
  ASSERT_TRUE(a.WaitConnected(b.id()));
  ASSERT_TRUE(b.WaitConnected(a.id()));
  ASSERT_TRUE(b.WaitIdle());
  ASSERT_TRUE(a.WaitIdle());
  // A connected peer's address stays as the handshake set it.
  PeerRef elsewhere = b.Ref();
  elsewhere.ipv4 = 0x0A000001;
  UpdatePeerAddress(*a.endpoint, elsewhere);
  PeerRef ref;
  ASSERT_EQ(GetPeerRef(*a.endpoint, b.id(), ref), 1);
  EXPECT_EQ(ref.ipv4, test::kLoopback);
  EXPECT_TRUE(a.host.AddressLines().empty());

  // Calling the old identity at Bob's address pings Bob, whose answer
  // clears the old record away.
  PeerRef old = b.Ref();
  CopyUserId(old.user_id, kStranger);
  EXPECT_EQ(a.Send(old, 0, {1}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return !GetPeerStatus(*a.endpoint, kStranger); }));
  EXPECT_EQ(ListPeers(*a.endpoint).size(), 1u);
  const auto d = a.consumers.Deliveries();
  std::vector<std::string> gone;
  for (const auto& x : d)
    if (x.kind == "forget" || x.kind == "drop") {
      gone.push_back(x.kind);
      EXPECT_EQ(x.sender.user_id[0], kStranger[0]);
    }
  EXPECT_EQ(gone, (std::vector<std::string>{"forget", "drop"}));
  EXPECT_TRUE(a.Connected(b.id()));
}

TEST(PeerTable, FindUserByNameLocallyAndThroughAConnectedPeer) {
  Node a(Alice());
  Node b(Bob());
  EXPECT_EQ(a.Send(b.Ref(), 0, {1}), 0);
  ASSERT_TRUE(a.WaitConnected(b.id()));
  ASSERT_TRUE(b.WaitConnected(a.id()));
  ASSERT_TRUE(a.WaitIdle());
  uint32_t found[kUserIdWords] = {};
  // Bob is in Alice's table.
  auto q = Utf16(u"Bo");
  EXPECT_TRUE(FindUserByName(*a.endpoint, q.data(), q.size(), found));
  EXPECT_EQ(found[0], b.id()[0]);
  ASSERT_EQ(a.host.Found().size(), 1u);
  EXPECT_EQ(a.host.Found()[0][0], b.id()[0]);
  EXPECT_EQ(a.host.CountTraces(PacketDirection::kSent, kNameReq), 0u);
  // "Al" is not: Bob is asked, and his table knows Alice.
  q = Utf16(u"Al");
  EXPECT_FALSE(FindUserByName(*a.endpoint, q.data(), q.size(), found));
  EXPECT_EQ(a.host.CountTraces(PacketDirection::kSent, kNameReq), 1u);
  ASSERT_TRUE(test::WaitFor([&] { return a.host.Found().size() == 2; }));
  EXPECT_EQ(a.host.Found()[1], std::vector<uint32_t>(a.id(), a.id() + kUserIdWords));
  EXPECT_EQ(b.host.CountTraces(PacketDirection::kSent, kNameResp), 1u);
  EXPECT_EQ(a.Status(b.id())->sent_without_reply, 0u);
  // A name nobody has gets no answer.
  q = Utf16(u"Zed");
  EXPECT_FALSE(FindUserByName(*a.endpoint, q.data(), q.size(), found));
  ASSERT_TRUE(test::WaitFor([&] { return b.Status(a.id())->secured == 2; }));
  EXPECT_EQ(b.host.CountTraces(PacketDirection::kSent, kNameResp), 1u);
}

TEST(PeerTable, PresenceFollowsTheAwayBitOfTheLastDatagram) {
  Node a(Alice());
  Node b(Bob());
  EXPECT_EQ(a.Send(b.Ref(), 0, {1}), 0);
  ASSERT_TRUE(a.WaitConnected(b.id()));
  ASSERT_TRUE(b.WaitConnected(a.id()));
  EXPECT_EQ(GetPeerPresence(*b.endpoint, a.id()), 1);
  SetAway(*a.endpoint, true);
  ASSERT_GT(a.Send(b.Ref(), 0, {1}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return GetPeerPresence(*b.endpoint, a.id()) == 2; }));
  SetAway(*a.endpoint, false);
  ASSERT_GT(a.Send(b.Ref(), 0, {1}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return GetPeerPresence(*b.endpoint, a.id()) == 1; }));
}

}  // namespace
}  // namespace orv
