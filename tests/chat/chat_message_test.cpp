// Chat texts and acknowledgements on the wire, the input cut into parts,
// and the receive window that drops duplicates.
#include <gtest/gtest.h>

#include "chat/chat_input.hpp"
#include "chat/chat_message.hpp"
#include "chat/receive_window.hpp"
#include "crypto/byte_order.hpp"

namespace orv {
namespace {

TEST(ChatMessage, TextIsPaddedToThirtyTwoBytes) {
  struct Case {
    size_t chars;
    size_t bytes;
  } cases[] = {{1, 8 + 32}, {5, 8 + 32}, {16, 8 + 32}, {17, 8 + 64}, {512, 8 + 1024}, {600, 8 + 1024}};
  for (const Case& c : cases) {
    const std::u16string text(c.chars, u'x');
    const std::vector<uint8_t> m = EncodeChatText(7, text);
    EXPECT_EQ(m.size(), c.bytes) << c.chars;
    EXPECT_EQ(LoadLe32(m.data()), 3u);
    EXPECT_EQ(LoadLe32(m.data() + 4), 7u);
    for (size_t i = 8 + 2 * std::min<size_t>(c.chars, 512); i < m.size(); ++i) EXPECT_EQ(m[i], 0) << c.chars;
  }
  const auto decoded = DecodeChatText(EncodeChatText(9, u"h\u00e9llo").data(), 40);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->sequence, 9u);
  EXPECT_EQ(decoded->text, u"h\u00e9llo");  // up to the padding
}

TEST(ChatMessage, ShortAndForeignMessagesDoNotDecode) {
  std::vector<uint8_t> text = EncodeChatText(1, u"a");
  EXPECT_FALSE(DecodeChatText(text.data(), 8));
  EXPECT_TRUE(DecodeChatText(text.data(), 9));
  EXPECT_EQ(DecodeChatText(text.data(), 9)->text, u"");  // an odd last byte is dropped
  const auto ack = EncodeChatAck(0x01020304);
  EXPECT_FALSE(DecodeChatAck(ack.data(), 7));
  EXPECT_EQ(DecodeChatAck(ack.data(), 8), 0x01020304u);
  EXPECT_FALSE(DecodeChatText(ack.data(), ack.size()));
  EXPECT_FALSE(DecodeChatAck(text.data(), text.size()));
  // A text longer than 1024 bytes is read only that far.
  std::vector<uint8_t> long_text(8 + 2000, 'a');
  StoreLe32(long_text.data(), 3);
  EXPECT_EQ(DecodeChatText(long_text.data(), long_text.size())->text.size(), 512u);
}

TEST(ChatInput, IsCutIntoPartsOfAtMost512Units) {
  const std::u16string thousand(1000, u'a');
  const auto parts = CutChatInput(thousand);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].size(), 512u);
  EXPECT_EQ(parts[1].size(), 488u);
  EXPECT_TRUE(CutChatInput(u"").empty());
  EXPECT_EQ(CutChatInput(std::u16string(512, u'b')).size(), 1u);
}

TEST(ChatInput, ACutNeverSplitsASurrogatePair) {
  // 511 units, then U+1F600 as a pair across the 512 boundary.
  std::u16string text(511, u'a');
  text += u"\U0001F600";
  text += u"tail";
  const auto parts = CutChatInput(text);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].size(), 511u);
  EXPECT_EQ(parts[1], std::u16string(u"\U0001F600tail"));
  // A pair that ends exactly at 512 stays whole in the first part.
  std::u16string exact(510, u'a');
  exact += u"\U0001F600";
  exact += u"z";
  EXPECT_EQ(CutChatInput(exact)[0].size(), 512u);
  // A lone high surrogate at the boundary is no pair: the cut stays at 512.
  std::u16string lone(511, u'a');
  lone += u'\xD83D';
  lone += u"zz";
  EXPECT_EQ(CutChatInput(lone)[0].size(), 512u);
}

TEST(ChatInput, LinesAndTheirSides) {
  EXPECT_EQ(ChatLine(u"12/31/24 23:59", true, u"hi"), u"12/31/24 23:59 > hi\n");
  EXPECT_EQ(ChatLine(u"12/31/24 23:59", false, u"yo"), u"12/31/24 23:59 < yo\n");
  EXPECT_FALSE(IsPeerLine(u"1 > a < b\n"));
  EXPECT_TRUE(IsPeerLine(u"1 < a > b\n"));
  EXPECT_FALSE(IsPeerLine(u"no marks\n"));
}

// The receive window, from a given L and W, for one number.
TEST(ReceiveWindow, Cases) {
  struct Case {
    const char* what;
    uint32_t last, window, n;
    ReceiveVerdict verdict;
    uint32_t last_after, window_after;
  } cases[] = {
      {"first message after a reset", 0, 0, 0, ReceiveVerdict::kDeliver, 0, 0x80000000},
      {"first message with a high number", 0, 0, 17, ReceiveVerdict::kDeliver, 17, 0x80000000},
      {"message 0 again", 0, 0x80000000, 0, ReceiveVerdict::kDuplicate, 0, 0x80000000},
      {"message 0 again after 3", 3, 0xF0000000, 0, ReceiveVerdict::kDuplicate, 3, 0xF0000000},
      {"the next one", 0, 0x80000000, 1, ReceiveVerdict::kDeliver, 1, 0xC0000000},
      {"a gap of two", 1, 0xC0000000, 3, ReceiveVerdict::kDeliver, 3, 0xB0000000},
      {"the gap filled", 3, 0xB0000000, 2, ReceiveVerdict::kDeliver, 3, 0xF0000000},
      {"the last one again", 3, 0xF0000000, 3, ReceiveVerdict::kDuplicate, 3, 0xF0000000},
      {"31 below, unseen", 40, 0x80000000, 9, ReceiveVerdict::kDeliver, 40, 0x80000001},
      {"31 below, seen", 40, 0x80000001, 9, ReceiveVerdict::kDuplicate, 40, 0x80000001},
      {"32 below is an old text again", 40, 0xFFFFFFFF, 8, ReceiveVerdict::kDuplicate, 40, 0xFFFFFFFF},
      {"0, 32 below, restarts the window", 32, 0x7FFFFFFF, 0, ReceiveVerdict::kDeliver, 0, 0x80000000},
      {"far below restarts it", 0xFFFFFFF0, 0x80000000, 0, ReceiveVerdict::kDeliver, 0, 0x80000000},
      {"a jump of 32 clears the window", 5, 0xFFFFFFFF, 37, ReceiveVerdict::kDeliver, 37, 0x80000000},
      {"a jump of 31 keeps one bit", 5, 0x80000000, 36, ReceiveVerdict::kDeliver, 36, 0x80000001},
      {"far above", 5, 0x80000000, 0xFFFFFFFF, ReceiveVerdict::kDeliver, 0xFFFFFFFF, 0x80000000},
  };
  for (const Case& c : cases) {
    uint32_t last = c.last, window = c.window;
    EXPECT_EQ(AcceptSequence(last, window, c.n), c.verdict) << c.what;
    EXPECT_EQ(last, c.last_after) << c.what;
    EXPECT_EQ(window, c.window_after) << c.what;
  }
}

TEST(ReceiveWindow, EveryMessageOfAShuffledRepeatedRunIsDeliveredOnce) {
  uint32_t last = 0, window = 0;
  const uint32_t order[] = {0, 0, 2, 1, 0, 1, 2, 5, 3, 4, 4, 5, 3, 6, 0, 6};
  std::vector<uint32_t> delivered;
  for (uint32_t n : order)
    if (AcceptSequence(last, window, n) == ReceiveVerdict::kDeliver) delivered.push_back(n);
  EXPECT_EQ(delivered, (std::vector<uint32_t>{0, 2, 1, 5, 3, 4, 6}));
}

}  // namespace
}  // namespace orv
