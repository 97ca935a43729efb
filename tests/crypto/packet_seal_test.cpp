#include <gtest/gtest.h>

#include <vector>

#include "crypto/packet_seal.hpp"

namespace orv {
namespace {

// A sender and a receiver keyed alike, as after a handshake.
struct Link {
  Link() {
    uint32_t key[kKeyBlockWords];
    for (uint32_t i = 0; i < kKeyBlockWords; ++i) key[i] = 0x1234567u * (i + 3);
    KeystreamLoad(send, key);
    KeystreamLoad(receive, key);
  }
  std::vector<uint8_t> Seal(size_t n, uint8_t fill = 0x42) {
    std::vector<uint8_t> payload(n, fill), packet(n + kSealOverhead);
    packet.resize(SealPacket(send, packet.data(), payload.data(), n));
    return packet;
  }
  size_t Open(const std::vector<uint8_t>& packet) {
    out.assign(kMaxSealedPayload, 0);
    return OpenPacket(receive, out.data(), out.size(), packet.data(), packet.size());
  }
  // Opening as a session does: skipped keystream kept for late packets.
  size_t OpenKeeping(const std::vector<uint8_t>& packet) {
    out.assign(kMaxSealedPayload, 0);
    return OpenPacket(receive, out.data(), out.size(), packet.data(), packet.size(), &late);
  }
  KeystreamGenerator send, receive;
  LateKeystream late;
  std::vector<uint8_t> out;
};

TEST(SealPacket, LengthLimits) {
  Link link;
  EXPECT_EQ(link.Seal(32768).size(), 32768u + 16);
  EXPECT_EQ(link.Seal(32769).size(), 0u);
  EXPECT_EQ(link.Seal(0).size(), 0u);
  EXPECT_EQ(link.Seal(1).size(), 17u);
}

TEST(SealPacket, RoundTripWithHeader) {
  Link link;
  std::vector<uint8_t> payload(100);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> packet(116);
  ASSERT_EQ(SealPacket(link.send, packet.data(), payload.data(), payload.size()), 116u);
  EXPECT_EQ(packet[3], 100);  // big-endian length
  EXPECT_EQ(packet[11], 0);   // big-endian position 0
  EXPECT_EQ(link.Open(packet), 100u);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), link.out.begin()));
  const auto second = link.Seal(5);
  EXPECT_EQ(second[11], 100);
  EXPECT_EQ(link.Open(second), 5u);
}

TEST(OpenPacket, ReplayedAndOlderPacketsAreRefused) {
  Link link;
  const auto p0 = link.Seal(100), p1 = link.Seal(100), p2 = link.Seal(100);
  EXPECT_EQ(link.Open(p2), 100u);  // 200 bytes of keystream skipped
  EXPECT_EQ(link.receive.skipped, 200u);
  EXPECT_EQ(link.Open(p0), 0u);
  EXPECT_EQ(link.Open(p1), 0u);
  EXPECT_EQ(link.Open(p2), 0u);  // the same packet twice
  EXPECT_EQ(link.receive.position, 300u);
}

TEST(OpenPacket, AReorderedPacketOpensLateOnceWhileReplaysAndForgeriesStayOut) {
  Link link;
  std::vector<std::vector<uint8_t>> packets;
  for (uint8_t i = 0; i < 6; ++i) packets.push_back(link.Seal(100, i));
  // Arrival order 2, 0, 5, 1, 3, 4: every one opens once, with its own bytes.
  for (const size_t i : {2, 0, 5, 1, 3, 4}) {
    ASSERT_EQ(link.OpenKeeping(packets[i]), 100u) << i;
    EXPECT_EQ(link.out[0], i) << i;
    EXPECT_EQ(link.out[99], i) << i;
  }
  EXPECT_EQ(link.receive.skipped, 0u);  // nothing was lost in the end
  for (const auto& p : packets) EXPECT_EQ(link.OpenKeeping(p), 0u);  // replays
  // A packet changed in transit does not open late either, and spends nothing.
  Link other;
  auto a = other.Seal(50), b = other.Seal(50);
  ASSERT_EQ(other.OpenKeeping(b), 50u);
  auto bad = a;
  bad[20] ^= 1;
  EXPECT_EQ(other.OpenKeeping(bad), 0u);
  EXPECT_EQ(other.OpenKeeping(a), 50u);
}

TEST(OpenPacket, OnlyTheLastWindowOfSkippedKeystreamIsKept) {
  Link link;
  const auto old = link.Seal(100);
  ASSERT_TRUE(KeystreamSeek(link.send, LateKeystream::kWindow));
  const auto recent = link.Seal(100);
  const auto ahead = link.Seal(100);
  ASSERT_EQ(link.OpenKeeping(ahead), 100u);
  EXPECT_EQ(link.OpenKeeping(old), 0u);       // fell out of the window
  EXPECT_EQ(link.OpenKeeping(recent), 100u);  // still inside it
  // A copy of the state (a new session's keys) keeps nothing of it.
  LateKeystream copy = link.late;
  uint8_t scratch[100];
  EXPECT_FALSE(copy.Take(link.receive, 100, 100, scratch));
}

TEST(OpenPacket, SkipWindowEdge) {
  for (const auto& [ahead, accepted] : {std::pair<uint64_t, bool>{kMaxSkipAhead, true}, {kMaxSkipAhead + 1, false}}) {
    Link link;
    ASSERT_TRUE(KeystreamSeek(link.send, ahead));
    const auto packet = link.Seal(10);
    EXPECT_EQ(link.Open(packet) == 10, accepted) << ahead;
    EXPECT_EQ(link.receive.position, accepted ? ahead + 10 : 0) << ahead;
  }
}

TEST(OpenPacket, AnyChangedByteIsRefusedAndChangesNothing) {
  Link link;
  const auto packet = link.Seal(24);
  for (size_t i = 0; i < packet.size(); ++i) {
    auto bad = packet;
    bad[i] ^= 0x01;
    EXPECT_EQ(link.Open(bad), 0u) << "byte " << i;
    EXPECT_EQ(link.receive.position, 0u);
  }
  EXPECT_EQ(link.Open(packet), 24u);
}

TEST(OpenPacket, MalformedLengthsAreRefused) {
  Link link;
  const auto good = link.Seal(20);
  auto truncated = good;
  truncated.resize(35);
  auto zero_length = good;
  zero_length[0] = zero_length[1] = zero_length[2] = zero_length[3] = 0;
  auto huge_length = good;
  huge_length[0] = 0x7f;
  std::vector<uint8_t> tiny(16, 0), oversized(32768 + 17, 0);
  for (const auto* p : {&truncated, &zero_length, &huge_length, &tiny, &oversized})
    EXPECT_EQ(link.Open(*p), 0u);
  // Bytes after the tag are ignored.
  auto padded = good;
  padded.push_back(0xee);
  EXPECT_EQ(link.Open(padded), 20u);
}

TEST(OpenPacket, OutputTooSmallIsRefused) {
  Link link;
  const auto packet = link.Seal(64);
  uint8_t small[32];
  EXPECT_EQ(OpenPacket(link.receive, small, sizeof small, packet.data(), packet.size()), 0u);
  EXPECT_EQ(link.receive.position, 0u);
}

TEST(SessionCipherReset, ClearsKeysAndIds) {
  SessionCipherState state;
  state.keys_loaded = 1;
  state.peer_id[0] = 5;
  Link link;
  state.send = link.send;
  SessionCipherReset(state);
  EXPECT_EQ(state.keys_loaded, 0u);
  EXPECT_EQ(state.send.position, 0u);
  EXPECT_NE(state.send.tag_key[0], link.send.tag_key[0]);
}

}  // namespace
}  // namespace orv
