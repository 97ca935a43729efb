#include <gtest/gtest.h>

#include <vector>

#include "crypto/byte_order.hpp"
#include "net/datagram.hpp"
#include "net/fragment.hpp"
#include "net/session_setup.hpp"

namespace orv {
namespace {

TEST(Datagram, HeaderIsLittleEndianWordsThenTheTypeWord) {
  const uint32_t id[kUserIdWords] = {0x01020304, 5, 6, 7, 8, 9, 10, 0xA0B0C0D0};
  uint8_t out[kHeaderBytes];
  WriteHeader(out, id, MakeTypeWord(kSesConfirm, 9, 8, true));
  EXPECT_EQ(out[0], 0x04);
  EXPECT_EQ(out[3], 0x01);
  EXPECT_EQ(out[31], 0xA0);
  EXPECT_EQ(out[32], 7);   // type
  EXPECT_EQ(out[33], 9);   // count
  EXPECT_EQ(out[34], 8);   // index
  EXPECT_EQ(out[35], 0x80);  // away
  const DatagramHeader h = ReadHeader(out);
  EXPECT_EQ(h.user_id[7], 0xA0B0C0D0u);
  EXPECT_EQ(TypeOf(h.type_word), 7u);
  EXPECT_EQ(FragmentCountOf(h.type_word), 9u);
  EXPECT_EQ(FragmentIndexOf(h.type_word), 8u);
  EXPECT_TRUE(AwayOf(h.type_word));
}

TEST(Datagram, PingVersionAndBuildDependOnLength) {
  std::vector<uint8_t> d(kPingBytes);
  StoreLe32(d.data() + 36, 2);
  StoreLe32(d.data() + 40, 298);
  struct Case {
    size_t length;
    uint32_t version, build;
  } cases[] = {{36, 1, 0}, {39, 1, 0}, {40, 2, 0}, {43, 2, 0}, {44, 2, 298}};
  for (const Case& c : cases) {
    const PingInfo p = ReadPing(d.data(), c.length);
    EXPECT_EQ(p.version, c.version) << c.length;
    EXPECT_EQ(p.build, c.build) << c.length;
  }
}

TEST(Datagram, FirstTwoWordsAreZeroFilled) {
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  uint32_t w[2];
  FirstTwoWords(bytes, 5, w);
  EXPECT_EQ(w[0], 0x04030201u);
  EXPECT_EQ(w[1], 0x05u);
  FirstTwoWords(bytes, 0, w);
  EXPECT_EQ(w[0], 0u);
  EXPECT_EQ(w[1], 0u);
}

// Fragments of a message cut as a sender cuts it.
std::vector<std::vector<uint8_t>> Cut(const std::vector<uint8_t>& message) {
  std::vector<std::vector<uint8_t>> parts;
  for (size_t at = 0; at < message.size(); at += kFragmentBytes)
    parts.emplace_back(message.begin() + at, message.begin() + std::min(message.size(), at + kFragmentBytes));
  return parts;
}

std::vector<uint8_t> Message(size_t n) {
  std::vector<uint8_t> m(n);
  for (size_t i = 0; i < n; ++i) m[i] = static_cast<uint8_t>(i * 7 + 1);
  return m;
}

bool Feed(SessionSetup& s, uint32_t count, uint32_t index, const std::vector<uint8_t>& body) {
  return ReassembleFragment(MakeTypeWord(kSesRequest, count, index, false), body.data(), body.size() + 4, s);
}

TEST(Fragment, HandshakeMessagesOfEverySizeComeTogetherInAnyOrder) {
  for (size_t length : {size_t{1}, size_t{347}, size_t{348}, size_t{349}, size_t{3 * 348}, kRequestBytes,
                        kResponseBytes, kConfirmBytes, size_t{23 * 348}}) {
    const auto message = Message(length);
    const auto parts = Cut(message);
    const uint32_t c = static_cast<uint32_t>(parts.size());
    EXPECT_EQ(c, FragmentCountFor(length));
    auto s = NewSessionSetup();
    // Last fragment first, the rest in reverse: complete only with the last one in.
    for (uint32_t k = 0; k < c; ++k) {
      const uint32_t i = (c - 1 + c - k) % c;
      EXPECT_EQ(Feed(*s, c, i, parts[i]), k + 1 == c) << length << " fragment " << i;
    }
    EXPECT_EQ(s->reassembled_length, length);
    EXPECT_TRUE(std::equal(message.begin(), message.end(), s->reassembly.begin())) << length;
  }
}

TEST(Fragment, BadFragmentsAreRefusedAndClearTheMask) {
  const std::vector<uint8_t> full(kFragmentBytes, 1), short_part(100, 2), long_part(kFragmentBytes + 1, 3);
  struct Case {
    const char* what;
    uint32_t count, index;
    const std::vector<uint8_t>* body;
  } cases[] = {
      {"index equal to count", 3, 3, &full},
      {"index above count", 3, 7, &full},
      {"count of 24", 24, 0, &full},
      {"count of 0", 0, 0, &full},
      {"short fragment that is not the last", 3, 1, &short_part},
      {"long last fragment", 3, 2, &long_part},
      {"long fragment that is not the last", 3, 0, &long_part},
  };
  for (const Case& c : cases) {
    auto s = NewSessionSetup();
    ASSERT_FALSE(Feed(*s, 3, 0, full));
    ASSERT_NE(s->fragment_mask, 0u);
    EXPECT_FALSE(Feed(*s, c.count, c.index, *c.body)) << c.what;
    EXPECT_EQ(s->fragment_mask, 0u) << c.what;
  }
}

TEST(Fragment, TwentyThreeFragmentsAreTheLimit) {
  auto s = NewSessionSetup();
  const std::vector<uint8_t> full(kFragmentBytes, 9);
  for (uint32_t i = 0; i < 22; ++i) ASSERT_FALSE(Feed(*s, 23, i, full));
  EXPECT_TRUE(Feed(*s, 23, 22, full));
  EXPECT_EQ(s->reassembled_length, 23 * kFragmentBytes);
}

TEST(Fragment, AnEmptyLastFragmentEndsTheMessageAtTheFragmentBoundary) {
  auto s = NewSessionSetup();
  const std::vector<uint8_t> full(kFragmentBytes, 9), empty;
  ASSERT_FALSE(Feed(*s, 2, 0, full));
  EXPECT_TRUE(Feed(*s, 2, 1, empty));
  EXPECT_EQ(s->reassembled_length, kFragmentBytes);
}

}  // namespace
}  // namespace orv
