// The order in which the peer's chat texts are shown: each once, in the
// order sent, with the acknowledgements that go back.
#include <gtest/gtest.h>

#include "chat/chat_message.hpp"
#include "chat/receive_order.hpp"
#include "crypto/byte_order.hpp"

namespace orv {
namespace {

using Numbers = std::vector<uint32_t>;
using Texts = std::vector<std::u16string>;

ChatText Numbered(uint32_t numbering, uint32_t lowest, uint32_t sequence) {
  ChatText t;
  t.sequence = sequence;
  t.text = u"t" + std::u16string(1, static_cast<char16_t>(u'0' + sequence % 40));
  t.numbering = ChatNumbering{numbering, lowest};
  return t;
}

ChatText Plain(uint32_t sequence) {
  ChatText t;
  t.sequence = sequence;
  t.text = u"p" + std::u16string(1, static_cast<char16_t>(u'0' + sequence % 40));
  return t;
}

std::u16string T(uint32_t n) { return Numbered(0, 0, n).text; }
std::u16string P(uint32_t n) { return Plain(n).text; }

struct Step {
  ChatText text;
  Numbers acks;
  Texts shown;
};

void Feed(ChatReceiveOrder& order, const std::vector<Step>& steps, const char* what) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const ChatReceiveOrder::Result r = order.Receive(steps[i].text);
    EXPECT_EQ(r.acknowledge, steps[i].acks) << what << ", step " << i;
    EXPECT_EQ(r.show, steps[i].shown) << what << ", step " << i;
  }
}

TEST(ChatReceiveOrder, NumberedTextsAreShownOnceAndInOrder) {
  struct Case {
    const char* what;
    std::vector<Step> steps;
  };
  const uint32_t n1 = 0x1234, n2 = 0x5678;
  const std::vector<Case> cases = {
      {"in order", {{Numbered(n1, 0, 0), {0}, {T(0)}}, {Numbered(n1, 1, 1), {1}, {T(1)}}}},
      {"the first of a conversation lost: the next waits unacknowledged",
       {{Numbered(n1, 0, 1), {}, {}}, {Numbered(n1, 0, 2), {}, {}},
        {Numbered(n1, 0, 0), {0, 1, 2}, {T(0), T(1), T(2)}}}},
      {"duplicates are acknowledged again and not shown",
       {{Numbered(n1, 0, 0), {0}, {T(0)}}, {Numbered(n1, 0, 0), {0}, {}}, {Numbered(n1, 0, 1), {1}, {T(1)}},
        {Numbered(n1, 0, 0), {0}, {}}}},
      {"an old text resent far below after an outage is no restart",
       {{Numbered(n1, 0, 0), {0}, {T(0)}}, {Numbered(n1, 0, 1), {1}, {T(1)}}, {Numbered(n1, 0, 2), {2}, {T(2)}},
        {Numbered(n1, 0, 40), {}, {}}, {Numbered(n1, 0, 1), {1}, {}}}},
      {"a conversation that opens late starts at the lowest waiting number",
       {{Numbered(n1, 37, 38), {}, {}}, {Numbered(n1, 37, 37), {37, 38}, {T(37), T(38)}}}},
      {"the peer's new conversation restarts at 0 and is never taken for duplicates",
       {{Numbered(n1, 0, 0), {0}, {T(0)}}, {Numbered(n1, 1, 1), {1}, {T(1)}}, {Numbered(n2, 0, 1), {}, {}},
        {Numbered(n2, 0, 0), {0, 1}, {T(0), T(1)}}}},
      {"a late text of the conversation left behind is dropped unanswered",
       {{Numbered(n1, 0, 0), {0}, {T(0)}}, {Numbered(n2, 0, 0), {0}, {T(0)}}, {Numbered(n1, 0, 1), {}, {}},
        {Numbered(n2, 1, 1), {1}, {T(1)}}}},
  };
  for (const Case& c : cases) {
    ChatReceiveOrder order;
    Feed(order, c.steps, c.what);
  }
}

TEST(ChatReceiveOrder, NumberedTextsIgnoreCode1AndFarAheadTextsAreNotKept) {
  ChatReceiveOrder order;
  Feed(order, {{Numbered(7, 0, 0), {0}, {T(0)}}}, "start");
  order.PeerRestarted();
  Feed(order, {{Numbered(7, 0, 0), {0}, {}}, {Numbered(7, 1, 1 + kMaxEarlyTexts + 1), {}, {}}}, "after code 1");
  // The far one was not kept: when the gap fills, it is not shown until it comes again.
  const ChatReceiveOrder::Result r = order.Receive(Numbered(7, 1, 1));
  EXPECT_EQ(r.show, Texts{T(1)});
}

TEST(ChatReceiveOrder, TextsWithoutNumberingShowOnceAndRestartAtZeroAfterCode1) {
  ChatReceiveOrder order;
  Feed(order, {{Plain(0), {0}, {P(0)}}, {Plain(2), {2}, {P(2)}}, {Plain(1), {1}, {P(1)}}, {Plain(1), {1}, {}}},
      "shown as they come, once");
  for (uint32_t n = 3; n <= 40; ++n) order.Receive(Plain(n));
  Feed(order, {{Plain(5), {5}, {}}}, "an old one far below");
  order.PeerRestarted();
  Feed(order, {{Plain(1), {1}, {P(1)}}, {Plain(0), {0}, {P(0)}}}, "after code 1");
}

TEST(ChatMessage, TheNumberingTravelsBehindTheTextWhereOthersSeePadding) {
  struct Case {
    size_t chars;
    size_t bytes;
  } cases[] = {{1, 8 + 32}, {9, 8 + 32}, {10, 8 + 64}, {512, 8 + 1056}};
  for (const Case& c : cases) {
    const std::u16string text(c.chars, u'x');
    const std::vector<uint8_t> m = EncodeChatText(7, text, ChatNumbering{0xCAFE, 3});
    EXPECT_EQ(m.size(), c.bytes) << c.chars;
    // A receiver that reads up to the first zero character sees the text.
    const size_t end = 8 + 2 * c.chars;
    EXPECT_EQ(m[end], 0);
    EXPECT_EQ(m[end + 1], 0);
    const auto decoded = DecodeChatText(m.data(), m.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->text, text);
    ASSERT_TRUE(decoded->numbering);
    EXPECT_EQ(*decoded->numbering, (ChatNumbering{0xCAFE, 3}));
  }
  // Plain padding, or a cut-off numbering, is no numbering.
  EXPECT_FALSE(DecodeChatText(EncodeChatText(1, u"abc").data(), 40)->numbering);
  const std::vector<uint8_t> m = EncodeChatText(1, u"abc", ChatNumbering{5, 0});
  EXPECT_FALSE(DecodeChatText(m.data(), 8 + 6 + 13)->numbering);
  EXPECT_TRUE(DecodeChatText(m.data(), 8 + 6 + 14)->numbering);
}

}  // namespace
}  // namespace orv
