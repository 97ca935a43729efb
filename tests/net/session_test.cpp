// Sessions between complete nodes on 127.0.0.1: the handshake, sealed
// payloads, counters, lost sessions, termination and restart.
#include <gtest/gtest.h>

#include "net/net_text.hpp"
#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::kLoopback;
using test::Node;

std::vector<uint32_t> Words(const uint32_t* w, size_t n = kUserIdWords) { return {w, w + n}; }

std::string At(uint16_t port) { return AddressText(kLoopback, port); }

std::string Fingerprint(const uint32_t* f) {
  return FormatText("%08X %08X %08X %08X %08X %08X %08X %08X", f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]);
}

// Alice calls Bob and both end connected.
struct Pair {
  Node a{Alice()};
  Node b{Bob()};
  void Connect() {
    EXPECT_EQ(a.Send(b.Ref(), 1, {5, 0, 0, 0}), 0);  // no session yet: a ping goes instead
    ASSERT_TRUE(a.WaitConnected(b.id()));
    ASSERT_TRUE(b.WaitConnected(a.id()));
    ASSERT_TRUE(a.WaitIdle());
    ASSERT_TRUE(b.WaitIdle());
  }
};

TEST(Session, HandshakeConnectsBothSidesWithTheSameSessionId) {
  Pair p;
  p.Connect();
  uint32_t da[kUserIdWords], db[kUserIdWords];
  ASSERT_EQ(GetSessionId(*p.a.endpoint, p.b.id(), da), 1);
  ASSERT_EQ(GetSessionId(*p.b.endpoint, p.a.id(), db), 1);
  EXPECT_EQ(Words(da), Words(db));
  EXPECT_EQ(GetPeerName(*p.a.endpoint, p.b.id()), u"Bob");
  EXPECT_EQ(GetPeerName(*p.b.endpoint, p.a.id()), u"Alice");
  EXPECT_EQ(GetPeerPresence(*p.a.endpoint, p.b.id()), 1);

  const std::string a_at = At(p.a.port()), b_at = At(p.b.port());
  EXPECT_EQ(p.a.host.CountLogs("Network: Send session request to " + b_at), 1u);
  EXPECT_EQ(p.b.host.CountLogs("Network: Wait confirmation because of successful session request from " + a_at), 1u);
  EXPECT_EQ(p.a.host.CountLogs("Network: Successful session response from " + b_at +
                               ", user name: Bob, version 298, fingerprint " + Fingerprint(p.b.id())),
            1u);
  EXPECT_EQ(p.b.host.CountLogs("Network: Successful session confirmation from " + a_at +
                               ", user name: Alice, version 298, fingerprint " + Fingerprint(p.a.id())),
            1u);
  EXPECT_EQ(p.a.host.CountLogs("Network: Session confirmed by " + b_at), 1u);

  // Ping 1 + request 5 + confirmation 9 fragments one way; ping answer 1 +
  // response 11 + "confirmed" 1 the other.
  auto sa = *p.a.Status(p.b.id());
  auto sb = *p.b.Status(p.a.id());
  EXPECT_EQ(sa.sent_control, 15u);
  EXPECT_EQ(sa.received_control, 13u);
  EXPECT_EQ(sb.received_control, 15u);
  EXPECT_EQ(sb.sent_control, 13u);
  EXPECT_EQ(sa.secured + sa.dropped + sb.secured + sb.dropped, 0u);
  EXPECT_EQ(PeerStateText(sb), "Connected");
  EXPECT_EQ(sb.state, -1);          // the answering side's setup is gone
  EXPECT_EQ(sa.state, kSesConfirmation);  // the calling side keeps it until the first sealed datagram
  ASSERT_GT(p.b.Send(p.a.Ref(), 0, {1, 2, 3, 4}), 0);
  ASSERT_TRUE(p.a.consumers.WaitForCount("dht", 1));
  sa = *p.a.Status(p.b.id());
  EXPECT_EQ(sa.state, -1);
  EXPECT_EQ(sa.secured, 1u);

  // Trace: the ping with the size of its words, each fragment with its full length.
  std::vector<int32_t> request_sizes, ping_sizes;
  for (const auto& t : p.a.host.Traces()) {
    if (t.direction != PacketDirection::kSent) continue;
    if (t.type == kSesRequest) request_sizes.push_back(t.size);
    if (t.type == kPingReq) ping_sizes.push_back(t.size);
  }
  EXPECT_EQ(request_sizes, (std::vector<int32_t>{384, 384, 384, 384, 36 + 144}));
  EXPECT_EQ(ping_sizes, (std::vector<int32_t>{12}));
  EXPECT_EQ(p.b.host.CountTraces(PacketDirection::kSent, kSesResponse), 11u);
  EXPECT_EQ(p.a.host.CountTraces(PacketDirection::kSent, kSesConfirm), 9u);
  EXPECT_TRUE(p.a.host.Messages().empty());
}

}  // namespace
}  // namespace orv
