// Hand-made datagrams of every kind, cut short, too long, with wrong
// fragment fields, garbage sealed bodies, the node's own UserId, or sent
// while the node is disabled: nothing breaks, and the node goes on serving.
#include <gtest/gtest.h>

#include <random>

#include "net/net_text.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::MakeDatagram;
using test::Node;
using test::RawSocket;
using test::kStranger;

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

std::vector<uint8_t> Ping(uint32_t type, size_t length) {
  std::vector<uint8_t> body(8);
  StoreLe32(body.data(), kProtocolVersion);
  StoreLe32(body.data() + 4, kBuildNumber);
  body.resize(length - kHeaderBytes);
  return MakeDatagram(kStranger, type, body);
}

// Waits until the node has traced `n` received datagrams.
bool Traced(Node& node, size_t n) {
  return test::WaitFor([&] {
    size_t got = 0;
    for (const auto& t : node.host.Traces()) got += t.direction == PacketDirection::kReceived;
    return got >= n;
  });
}

TEST(BadInput, ShortOwnAndOversizedDatagramsLeaveNoTrace) {
  Node a(Alice());
  RawSocket raw;
  raw.SendTo(a.port(), std::vector<uint8_t>(35, 0));
  raw.SendTo(a.port(), MakeDatagram(a.id(), kPingReq, std::vector<uint8_t>(8)));
  raw.SendTo(a.port(), MakeDatagram(kStranger, kEncoded, std::vector<uint8_t>(9000 - kHeaderBytes)));
  raw.SendTo(a.port(), MakeDatagram(kStranger, kSesTerminate));  // 36 bytes: handled
  ASSERT_TRUE(Traced(a, 1));
  const auto traces = a.host.Traces();
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_EQ(traces[0].type, kSesTerminate);
  EXPECT_EQ(traces[0].size, 36);
  EXPECT_EQ(ListPeers(*a.endpoint).size(), 1u);
}

TEST(BadInput, ADisabledNodeDropsEverythingUntraced) {
  Node a(Alice(), /*enable=*/false);
  RawSocket raw;
  raw.SendTo(a.port(), Ping(kPingReq, kPingBytes));
  // Nothing comes back and nothing is recorded; the enabled node then answers.
  EXPECT_FALSE(raw.Receive(300));
  EXPECT_TRUE(a.host.Traces().empty());
  EXPECT_TRUE(ListPeers(*a.endpoint).empty());
  a.Enable();
  raw.SendTo(a.port(), Ping(kPingReq, kPingBytes));
  const auto answer = raw.Receive(30000);
  ASSERT_TRUE(answer);
  EXPECT_EQ(test::DatagramTypeOf(*answer), kPingResp);
}

TEST(BadInput, PingsReadTheVersionFromTheirLength) {
  Node a(Alice());
  RawSocket raw;
  const std::string at = AddressText(test::kLoopback, raw.port());
  // 36 bytes: version 1, refused.
  raw.SendTo(a.port(), Ping(kPingReq, 36));
  auto answer = raw.Receive(30000);
  ASSERT_TRUE(answer);
  EXPECT_EQ(test::DatagramTypeOf(*answer), kReject);
  EXPECT_EQ(answer->size(), kHeaderBytes);
  ASSERT_TRUE(a.host.WaitForLog("Network: Another protocol version 1 on " + at));
  EXPECT_EQ(a.State(kStranger), -1);
  // 40 bytes: version 2, build 0, answered with a 44-byte ping answer.
  raw.SendTo(a.port(), Ping(kPingReq, 40));
  answer = raw.Receive(30000);
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->size(), kPingBytes);
  EXPECT_EQ(test::DatagramTypeOf(*answer), kPingResp);
  EXPECT_EQ(LoadLe32(answer->data() + 36), 2u);
  EXPECT_EQ(LoadLe32(answer->data() + 40), 298u);
  EXPECT_EQ(LoadLe32(answer->data()), a.id()[0]);
  EXPECT_EQ(a.State(kStranger), kPingRequested);
}

TEST(BadInput, GarbageOfEveryTypeAndLengthNeitherBreaksNorStopsTheNode) {
  Node a(Alice());
  Node b(Bob());
  RawSocket raw;
  // Some pings first, so that fragments meet setups in every answering state.
  raw.SendTo(a.port(), Ping(kPingReq, kPingBytes));
  size_t sent = 1;
  uint32_t seed = 1;
  for (uint32_t type = 0; type <= 12; ++type) {
    for (size_t length : {size_t{36}, size_t{37}, size_t{40}, size_t{44}, size_t{52}, size_t{53}, size_t{100},
                          size_t{383}, size_t{384}, size_t{385}, size_t{1000}, size_t{8192}}) {
      for (uint32_t count : {0u, 1u, 5u, 23u, 24u, 255u}) {
        for (uint32_t index : {0u, count ? count - 1 : 0u, count, 200u}) {
          const auto body = Noise(length - kHeaderBytes, seed++);
          raw.SendTo(a.port(), MakeDatagram(kStranger, MakeTypeWord(type, count, index, seed % 2), body));
          ++sent;
        }
        // Paced, so that the socket's buffer never overflows.
        ASSERT_TRUE(Traced(a, sent)) << type << " " << length << " " << count;
      }
    }
    raw.SendTo(a.port(), Ping(kPingReq, kPingBytes));  // back to a setup waiting for a request
    ++sent;
  }
  ASSERT_TRUE(Traced(a, sent));
  EXPECT_EQ(ListPeers(*a.endpoint).size(), 1u);
  EXPECT_FALSE(a.Connected(kStranger));
  // Nothing the stranger sent made a worker that got anywhere.
  ASSERT_TRUE(a.WaitIdle());
  EXPECT_EQ(a.host.CountLogs("Successful"), 0u);
  EXPECT_EQ(a.host.CountLogs("Wait confirmation"), 0u);

  // Alice still serves other peers: Bob gets a session.
  EXPECT_EQ(b.Send(a.Ref(), 0, {1}), 0);
  ASSERT_TRUE(b.WaitConnected(a.id()));
  ASSERT_TRUE(a.WaitConnected(b.id()));
  ASSERT_TRUE(a.WaitIdle());

  // Forged sealed datagrams in Bob's name count as dropped and leave the
  // session standing.
  const uint32_t dropped = a.Status(b.id())->dropped;
  for (uint32_t type : {kEncoded, kNameReq, kNameResp})
    for (size_t length : {size_t{36}, size_t{52}, size_t{53}, size_t{200}})
      raw.SendTo(a.port(), MakeDatagram(b.id(), type, Noise(length - kHeaderBytes, seed++)));
  ASSERT_TRUE(test::WaitFor([&] { return a.Status(b.id())->dropped == dropped + 12; }));
  EXPECT_TRUE(a.Connected(b.id()));
  ASSERT_GT(b.Send(a.Ref(), 2, {4, 3, 2, 1}), 0);
  ASSERT_TRUE(a.consumers.WaitForCount("transfer", 1));
  EXPECT_EQ(a.Status(b.id())->secured, 1u);
}

TEST(BadInput, AReplayedSealedDatagramCountsAsDropped) {
  test::RelayedPair p(Alice(), Bob());
  p.relay.SetFilter([](test::Relay::Side side, std::vector<uint8_t>& d) {
    if (side == test::Relay::Side::kFromB && test::DatagramTypeOf(d) == kEncoded) return test::Relay::Verdict::kDuplicate;
    return test::Relay::Verdict::kPass;
  });
  EXPECT_EQ(p.a.Send(p.BForA(), 0, {1}), 0);
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_GT(p.b.Send(p.AForB(), 0, {7, 7, 7, 7}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return p.a.Status(p.b.id())->dropped == 1; }));
  EXPECT_EQ(p.a.Status(p.b.id())->secured, 1u);
  EXPECT_EQ(p.a.consumers.Count("dht"), 1u);
}

}  // namespace
}  // namespace orv
