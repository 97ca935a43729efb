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

TEST(Session, SealedPayloadsOfEachInnerTypeReachTheirConsumer) {
  Pair p;
  p.b.consumers.OpenConversationWith(p.a.id());
  p.Connect();
  struct Case {
    uint32_t inner;
    std::vector<uint8_t> data;
    const char* kind;  // where it lands at Bob, "" for nowhere
  } cases[] = {
      {0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}, "dht"},
      {2, {7, 0, 0, 0, 1, 2}, "transfer"},
      {1, {0, 0, 0, 0}, "request"},                  // code 0: connection request
      {1, {3, 0, 0, 0, 1, 0, 0, 0, 'h', 0}, "chat"}, // code 3: chat text
      {1, {8, 0, 0, 0, 9, 9, 9}, "voice"},           // code 8: voice frame
      {1, {5, 0, 0, 0}, "call"},                     // code 5: call request
      {1, {11, 0, 0, 0}, ""},                        // no such code
      {3, {1, 2, 3, 4}, ""},                         // no such inner type
  };
  uint32_t sent = 0;
  for (const Case& c : cases) {
    const int32_t n = p.a.Send(p.b.Ref(), c.inner, c.data);
    EXPECT_EQ(n, static_cast<int32_t>(36 + 16 + 4 + c.data.size())) << c.kind;
    ++sent;
    ASSERT_TRUE(test::WaitFor([&] { return p.b.Status(p.a.id())->secured == sent; })) << c.kind;
  }
  EXPECT_EQ(p.a.Status(p.b.id())->sent_without_reply, sent);
  const auto got = p.b.consumers.Deliveries();
  std::vector<std::string> kinds;
  for (const auto& d : got) kinds.push_back(d.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"dht", "transfer", "request", "chat", "voice", "call"}));
  EXPECT_EQ(got[0].data, cases[0].data);
  EXPECT_EQ(Words(got[0].sender.user_id), Words(p.a.id()));
  EXPECT_EQ(got[0].sender.port, p.a.port());
  EXPECT_EQ(got[3].code, 3u);
  EXPECT_EQ(got[4].data, cases[4].data);
  EXPECT_EQ(got[5].code, 5u);
  EXPECT_EQ(p.b.consumers.channel->messages_received.load(), 4u);  // chat, voice, call and code 11
  EXPECT_EQ(p.b.consumers.channel->voice_frames_received.load(), 1u);

  // Data trace: the first two data words when sent, inner type and first
  // data word when received.
  const auto tx = p.a.host.DataTraces();
  ASSERT_FALSE(tx.empty());
  EXPECT_EQ(tx[0], (std::array<uint32_t, 3>{0, 0x44332211u, 0x88776655u}));
  const auto rx = p.b.host.DataTraces();
  ASSERT_FALSE(rx.empty());
  EXPECT_EQ(rx[0], (std::array<uint32_t, 3>{1, 0u, 0x44332211u}));

  // An answer resets the count of sends without reply.
  ASSERT_GT(p.b.Send(p.a.Ref(), 0, {1, 0, 0, 0}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return p.a.Status(p.b.id())->sent_without_reply == 0; }));
  // Data that would not fit one datagram is refused, nothing sealed.
  EXPECT_EQ(p.a.Send(p.b.Ref(), 0, std::vector<uint8_t>(kMaxPayloadData + 1)), 0);
  EXPECT_GT(p.a.Send(p.b.Ref(), 0, std::vector<uint8_t>(kMaxPayloadData)), 0);
  ASSERT_TRUE(p.b.consumers.WaitForCount("dht", 2));
}

TEST(Session, AHundredUnansweredSendsAndFiveSilentSecondsLoseTheSessionAndTheNextSendPings) {
  test::RelayedPair p(Alice(), Bob());
  EXPECT_EQ(p.a.Send(p.BForA(), 0, {1}), 0);
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  ASSERT_TRUE(p.b.WaitIdle());
  // Bob vanishes: nothing reaches him any more.
  p.relay.SetFilter([](test::Relay::Side, std::vector<uint8_t>&) { return test::Relay::Verdict::kDrop; });
  for (int i = 0; i < 100; ++i) ASSERT_GT(p.a.Send(p.BForA(), 0, {1, 2, 3, 4}), 0) << i;
  // A burst of a hundred is no loss while Bob answered within 5 s.
  p.a.Tick(49);
  ASSERT_GT(p.a.Send(p.BForA(), 0, {1, 2, 3, 4}), 0);
  EXPECT_TRUE(p.a.Connected(p.b.id()));
  p.a.Tick();
  const size_t pings = p.a.host.CountTraces(PacketDirection::kSent, kPingReq);
  EXPECT_EQ(p.a.Send(p.BForA(), 0, {1, 2, 3, 4}), 0);
  const auto s = *p.a.Status(p.b.id());
  EXPECT_FALSE(s.connected);
  EXPECT_EQ(s.sent_without_reply, 0u);
  EXPECT_EQ(s.state, kPinging);
  EXPECT_EQ(PeerStateText(s), "Pinging 0");
  EXPECT_EQ(p.a.host.CountTraces(PacketDirection::kSent, kPingReq), pings + 1);
  uint32_t digest[kUserIdWords];
  EXPECT_EQ(GetSessionId(*p.a.endpoint, p.b.id(), digest), 0);
}

TEST(Session, ClosingTerminatesTheSessionAtThePeer) {
  Pair p;
  p.Connect();
  const uint16_t a_port = p.a.port();
  CloseEndpoint(*p.a.endpoint);
  ASSERT_TRUE(p.b.host.WaitForLog("Network: Session rerminated by " + At(a_port)));
  EXPECT_FALSE(p.b.Connected(p.a.id()));
  EXPECT_EQ(GetPeerPresence(*p.b.endpoint, p.a.id()), 0);
  EXPECT_EQ(p.a.host.CountTraces(PacketDirection::kSent, kSesTerminate), 1u);
  for (const auto& t : p.a.host.Traces()) {
    if (t.type == kSesTerminate) {
      EXPECT_EQ(t.size, 36);
    }
  }
}

TEST(Session, RestartDropsEverySessionAndThePeersNextSealedDatagramBringsItBack) {
  Pair p;
  p.Connect();
  p.b.host.RefusePassword(true);  // the previous session request stays
  RestartNetwork(*p.b.endpoint);
  p.b.host.RefusePassword(false);
  const auto s = *p.b.Status(p.a.id());
  EXPECT_FALSE(s.connected);
  EXPECT_EQ(PeerStateText(s), "Not connected");
  // Opening, enabling, answering Alice and restarting asked for the
  // password; a refused prompt keeps the request and does not stop the restart.
  EXPECT_EQ(p.b.host.PasswordRequests(), 4u);
  // Alice's sealed datagrams find no session at Bob now.
  const size_t before = p.b.host.Traces().size();
  ASSERT_GT(p.a.Send(p.b.Ref(), 0, {1, 2, 3, 4}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return p.b.host.Traces().size() > before; }));
  EXPECT_EQ(p.b.consumers.Count("dht"), 0u);
  // Alice still holds a session Bob no longer has: her sealed datagram
  // makes Bob ping her at once, and a new session comes up without either
  // side waiting for a hundred unanswered sends.
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
  ASSERT_TRUE(p.a.host.WaitForLog("Successful session confirmation", 1));
  EXPECT_EQ(p.b.host.CountTraces(PacketDirection::kSent, kPingReq), 1u);
  // A send from Bob goes sealed now.
  ASSERT_TRUE(test::WaitFor([&] { return p.b.Send(p.a.Ref(), 0, {1, 2, 3, 4}) > 0; }));
}

}  // namespace
}  // namespace orv
