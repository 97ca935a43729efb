#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "crypto/byte_order.hpp"
#include "crypto/handshake.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::TestIdentity;

// Alice initiates, Bob responds; each step's body is kept for tampering.
struct Exchange {
  Exchange() : init(std::make_unique<HandshakeInitiator>()), resp(std::make_unique<HandshakeResponder>()) {}
  size_t Request() { return HandshakeStart(*init, request.data()); }
  size_t Respond(const TestIdentity& who) {
    return HandshakeOnRequest(*resp, response.data(), request.data(), who.record, who.pw(), who.password.size());
  }
  size_t Confirm(const TestIdentity& who) {
    return HandshakeOnResponse(*init, confirm.data(), response.data(), who.record, who.pw(), who.password.size());
  }
  int Finish() { return HandshakeOnConfirm(*resp, confirm.data()); }

  std::unique_ptr<HandshakeInitiator> init;
  std::unique_ptr<HandshakeResponder> resp;
  std::vector<uint8_t> request = std::vector<uint8_t>(kRequestBytes);
  std::vector<uint8_t> response = std::vector<uint8_t>(kResponseBytes);
  std::vector<uint8_t> confirm = std::vector<uint8_t>(kConfirmBytes);
};

std::vector<uint32_t> Id(const uint32_t* w) { return {w, w + kUserIdWords}; }

TEST(Handshake, BothSidesAgreeAndPacketsFlowBothWays) {
  Exchange x;
  ASSERT_EQ(x.Request(), kRequestBytes);
  ASSERT_EQ(x.Respond(Bob()), kResponseBytes);
  EXPECT_FALSE(x.resp->established);
  ASSERT_EQ(x.Confirm(Alice()), kConfirmBytes);
  ASSERT_EQ(x.Finish(), 1);

  SessionCipherState a, b;
  ASSERT_TRUE(HandshakeExport(*x.init, a));
  ASSERT_TRUE(HandshakeExport(*x.resp, b));
  EXPECT_EQ(Id(a.digest), Id(b.digest));
  EXPECT_EQ(Id(a.peer_id), Id(Bob().record.certificate.user_id));
  EXPECT_EQ(Id(b.peer_id), Id(Alice().record.certificate.user_id));
  char ida[25], idb[25];
  SessionIdText(a, ida);
  SessionIdText(b, idb);
  EXPECT_STREQ(ida, idb);

  const uint8_t hello[] = "hello bob";
  std::vector<uint8_t> sealed(sizeof hello + kSealOverhead), opened(kMaxSealedPayload);
  ASSERT_EQ(SealPacket(a.send, sealed.data(), hello, sizeof hello), sealed.size());
  ASSERT_EQ(OpenPacket(b.receive, opened.data(), opened.size(), sealed.data(), sealed.size()), sizeof hello);
  EXPECT_EQ(std::memcmp(opened.data(), hello, sizeof hello), 0);
  ASSERT_EQ(SealPacket(b.send, sealed.data(), hello, sizeof hello), sealed.size());
  EXPECT_EQ(OpenPacket(a.receive, opened.data(), opened.size(), sealed.data(), sealed.size()), sizeof hello);
  // A direction's keys do not open the other direction's packets.
  ASSERT_EQ(SealPacket(a.send, sealed.data(), hello, sizeof hello), sealed.size());
  EXPECT_EQ(OpenPacket(a.receive, opened.data(), opened.size(), sealed.data(), sealed.size()), 0u);
}

// The generator test decides by the Jacobi symbol; what it accepts must be a
// primitive root of the safe prime: g^2 != 1 and g^q = p - 1, q = (p - 1) / 2.
TEST(HandshakeStart, GeneratorIsAPrimitiveRoot) {
  Exchange x;
  ModExpContext c(kNumWords);
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(x.Request(), kRequestBytes);
    std::vector<uint32_t> g(kNumWords), p(kNumWords), q(kNumWords), r(kNumWords), two(kNumWords, 0);
    LeBytesToWords(g.data(), x.request.data(), kNumWords);
    LeBytesToWords(p.data(), x.request.data() + 512, kNumWords);
    q = p;
    BigShiftRight1(q.data(), kNumWords);
    std::vector<uint32_t> minus_one = p;
    minus_one[0] -= 1;
    ModExp(c, r.data(), g.data(), q.data(), p.data());
    EXPECT_EQ(r, minus_one);
    two[0] = 2;
    ModExp(c, r.data(), g.data(), two.data(), p.data());
    EXPECT_FALSE(r[0] == 1 && std::all_of(r.begin() + 1, r.end(), [](uint32_t w) { return w == 0; }));
  }
}

TEST(Handshake, CloneCarriesTheRequestValues) {
  Exchange x;
  ASSERT_EQ(x.Request(), kRequestBytes);
  auto copy = std::make_unique<HandshakeInitiator>();
  HandshakeClone(*copy, *x.init);
  x.init = std::move(copy);  // the clone answers the response to the original's request
  ASSERT_EQ(x.Respond(Bob()), kResponseBytes);
  ASSERT_EQ(x.Confirm(Alice()), kConfirmBytes);
  EXPECT_EQ(x.Finish(), 1);
}

TEST(Handshake, BadGroupsAreRefusedByTheResponder) {
  Exchange x;
  ASSERT_EQ(x.Request(), kRequestBytes);
  const auto good = x.request;
  auto set_byte = [&](size_t at, uint8_t v) { x.request = good; x.request[at] = v; };
  struct Case {
    const char* name;
    std::function<void()> apply;
  };
  const Case cases[] = {
      {"p even", [&] { set_byte(512, good[512] & 0xfe); }},
      {"p = 1 mod 4", [&] { set_byte(512, good[512] & 0xfd); }},
      {"p without top bit", [&] { set_byte(1023, good[1023] & 0x7f); }},
      {"g = A", [&] { x.request = good; std::memcpy(x.request.data() + 1024, x.request.data(), 512); }},
      {"g = 1", [&] { x.request = good; std::memset(x.request.data(), 0, 512); x.request[0] = 1; }},
      {"A > p", [&] { x.request = good; std::memset(x.request.data() + 1024, 0xff, 512); }},
  };
  for (const auto& c : cases) {
    c.apply();
    EXPECT_EQ(x.Respond(Bob()), 0u) << c.name;
    EXPECT_EQ(x.resp->cipher.keys_loaded, 0u) << c.name;
  }
}

TEST(Handshake, TamperedOrWronglySignedMessagesFail) {
  {
    Exchange x;
    x.Request();
    ASSERT_EQ(x.Respond(Bob()), kResponseBytes);
    x.response[600] ^= 0x10;  // inside the sealed certificate
    EXPECT_EQ(x.Confirm(Alice()), 0u);
    SessionCipherState s;
    EXPECT_FALSE(HandshakeExport(*x.init, s));
  }
  {
    Exchange x;
    x.Request();
    ASSERT_EQ(x.Respond(Bob()), kResponseBytes);
    x.response[5] ^= 0x01;  // B changed: keys and transcript no longer match
    EXPECT_EQ(x.Confirm(Alice()), 0u);
  }
  {
    Exchange x;
    x.Request();
    ASSERT_EQ(x.Respond(Bob()), kResponseBytes);
    ASSERT_EQ(x.Confirm(Alice()), kConfirmBytes);
    x.confirm[kConfirmBytes - 1] ^= 0x80;  // the tag
    EXPECT_EQ(x.Finish(), 0);
    EXPECT_FALSE(x.resp->established);
  }
  {
    // Wrong password on either side: no response, no confirmation.
    Exchange x;
    x.Request();
    TestIdentity impostor;
    impostor.record = Bob().record;
    impostor.password = "not bob's";
    EXPECT_EQ(x.Respond(impostor), 0u);
  }
  {
    // Bob's certificate presented with a signature made by Alice's key.
    Exchange x;
    x.Request();
    TestIdentity impostor;
    impostor.record = Alice().record;
    impostor.record.certificate = Bob().record.certificate;
    impostor.password = Alice().password;
    ASSERT_EQ(x.Respond(impostor), kResponseBytes);
    EXPECT_EQ(x.Confirm(Alice()), 0u);
  }
}

TEST(Handshake, ConfirmWithoutKeysFails) {
  Exchange x;
  EXPECT_EQ(x.Finish(), 0);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST(Handshake, GarbageBodiesAreRefused) {
  std::vector<uint8_t> garbage(kResponseBytes);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131 + 7);
  const auto& bob = test::Bob();
  const auto& alice = test::Alice();
  auto resp = std::make_unique<HandshakeResponder>();
  std::vector<uint8_t> out(kResponseBytes);
  EXPECT_EQ(HandshakeOnRequest(*resp, out.data(), garbage.data(), bob.record, bob.pw(), bob.password.size()), 0u);
  EXPECT_EQ(HandshakeOnConfirm(*resp, garbage.data()), 0);

  auto init = std::make_unique<HandshakeInitiator>();
  std::vector<uint8_t> request(kRequestBytes);
  HandshakeStart(*init, request.data());
  // A valid-looking B (inside the group) followed by a garbage sealed part.
  std::vector<uint8_t> response = garbage;
  std::fill(response.begin(), response.begin() + 512, 0);
  response[0] = 5;
  EXPECT_EQ(HandshakeOnResponse(*init, out.data(), response.data(), alice.record, alice.pw(), alice.password.size()),
            0u);
  EXPECT_FALSE(init->established);
}

}  // namespace
}  // namespace orv
