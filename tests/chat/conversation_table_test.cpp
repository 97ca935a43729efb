// The table of conversations and the main window's part: who may open a
// conversation, the refusal (never answered with a refusal), connection
// requests, conversations opened by address, the table's growth, and bad
// input of every kind.
#include "conversation_fixture.hpp"

namespace orv {
namespace {

using test::Ack;
using test::Code;
using test::Codes;
using test::Events;
using test::MakePeer;
using test::Text;

class MainWindow : public test::ConversationTest {};

TEST_F(MainWindow, AStrangerIsRefusedWithCode10ButACode10IsNeverAnswered) {
  Make(false);
  const struct Case {
    const char* what;
    std::vector<uint8_t> data;
    Codes replies;
  } cases[] = {
      {"connect", Code(1), {10}},
      {"chat text", Text(0, u"hi"), {10}},
      {"acknowledgement", Ack(3), {10}},
      {"call request", Code(5), {10}},
      {"typing", Code(9), {10}},
      {"not allowed", Code(10), {}},
  };
  for (const Case& c : cases) {
    FromBob(c.data);
    EXPECT_EQ(sender.Codes(), c.replies) << c.what;
  }
  EXPECT_TRUE(conversations->List().empty());
  EXPECT_TRUE(events.Take().empty());
}

TEST_F(MainWindow, TwoNodesThatRefuseStrangersDoNotTradeRefusals) {
  Make(false);
  // What one refusing node sends, the other receives: after one refusal
  // each way the exchange ends.
  FromBob(Code(1));
  std::vector<test::SentPayload> out = sender.Take();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].code(), 10u);
  FromBob(out[0].data);  // the peer's refusal of our refusal would be the same
  EXPECT_TRUE(sender.Take().empty());
}

TEST_F(MainWindow, AContactOrAnyoneWhenAllowedOpensAConversationAndTheFirstMessageIsShown) {
  Make(false);
  contacts.Add(bob.user_id, "Bob");
  FromBob(Text(0, u"first"));
  ASSERT_EQ(conversations->List().size(), 1u);
  // The message that opened the conversation reaches it, and only then is
  // it acknowledged.
  EXPECT_EQ(events.Take(), (Events{"1: opened", "1: line incoming 1 first", "1: alert"}));
  EXPECT_EQ(sender.Codes(), (std::vector<uint32_t>{4}));
  FromBob(Text(0, u"first"));  // the repetition is acknowledged, not shown again
  EXPECT_TRUE(events.Take().empty());
  EXPECT_EQ(sender.Codes(), (std::vector<uint32_t>{4}));

  settings.allow_anyone = true;
  conversations->SetSettings(settings);
  network.known = carol;
  Receive(carol, Code(5));
  ASSERT_EQ(conversations->List().size(), 2u);
  EXPECT_EQ(conversations->List()[1].peer.port, carol.port);
  // Several messages before the conversation opened open it once.
  conversations->Close(2);
  Receive(carol, Code(5));
  Receive(carol, Code(5));
  EXPECT_EQ(conversations->List().size(), 2u);
}

TEST_F(MainWindow, APeerTheNetworkCannotPlaceOpensNothing) {
  Make(true);
  Receive(carol, Code(1));  // Carol is not in the (fake) peer table
  EXPECT_TRUE(conversations->List().empty());
  EXPECT_EQ(conversations->Open(carol), 0u);
}

TEST_F(MainWindow, ConnectionRequestsAreShownWhenAllowedAndRefusedOtherwise) {
  Make(false);
  FromBob(Code(0));
  EXPECT_EQ(sender.Codes(), (Codes{10}));
  settings.allow_connection_request = true;
  conversations->SetSettings(settings);
  const ConversationId id = OpenBob();
  FromBob(Code(0));  // even with a conversation open
  EXPECT_TRUE(sender.Take().empty());
  EXPECT_EQ(events.Take(), (Events{"request Bob"}));
  EXPECT_EQ(Get(id).channel().messages_received.load(), 0u);
}

TEST_F(MainWindow, AConversationOpenedByAddressTakesTheFirstPeerThatSpeaks) {
  Make(false);
  PeerRef by_address;
  by_address.ipv4 = bob.ipv4;
  by_address.port = bob.port;
  const ConversationId id = conversations->Open(by_address);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(conversations->Open(by_address), id);  // the same address: the same conversation
  Get(id).SendChatInput(u"who is there?");
  EXPECT_TRUE(IsZeroUserId(sender.Take()[1].target.user_id));
  dispatcher.RunPending();
  events.Take();
  FromBob(Code(2));  // a stranger, but the conversation is open: no refusal
  EXPECT_EQ(events.Take(), (Events{"1: adopted", "1: state CONNECTED"}));
  EXPECT_TRUE(SameUserId(Get(id).peer().user_id, bob.user_id));
  EXPECT_EQ(conversations->FindByUserId(bob.user_id)->id(), id);
  EXPECT_EQ(conversations->Open(bob), id);
  EXPECT_EQ(events.Take(), (Events{"1: raised"}));
  Tick();
  EXPECT_TRUE(SameUserId(sender.Take().at(0).target.user_id, bob.user_id));
  EXPECT_EQ(events.Title(id), "Bob - online");
  // Carol now is a stranger again.
  Receive(carol, Code(1));
  EXPECT_EQ(sender.Codes(), (Codes{10}));
}

// A conversation opened by address takes only a peer writing from that
// address, and never one whose own conversation is open already.
TEST_F(MainWindow, AConversationOpenedByAddressCapturesNoOtherConversation) {
  Make(false);
  PeerRef at_bob;
  at_bob.ipv4 = bob.ipv4;
  at_bob.port = bob.port;
  const ConversationId by_address = conversations->Open(at_bob);
  dispatcher.RunPending();
  events.Take();
  Receive(carol, Text(0, u"not for you"));  // a stranger from elsewhere
  EXPECT_EQ(sender.Codes(), (Codes{10}));
  EXPECT_TRUE(IsZeroUserId(Get(by_address).peer().user_id));
  EXPECT_EQ(conversations->List().size(), 1u);

  const ConversationId bobs = OpenBob();  // Bob's own conversation, then Bob speaks
  dispatcher.RunPending();
  events.Take();
  FromBob(Text(0, u"hi"));
  dispatcher.RunPending();
  EXPECT_TRUE(IsZeroUserId(Get(by_address).peer().user_id));
  for (const std::string& e : events.Take()) EXPECT_NE(e.rfind(std::to_string(by_address) + ":", 0), 0u) << e;
  EXPECT_NE(bobs, by_address);
}

TEST_F(MainWindow, TheTableGrowsByTwentyAndReusesFreedEntries) {
  Make(true);
  std::vector<ConversationId> ids;
  for (uint32_t i = 0; i < 21; ++i) {
    PeerRef p;
    p.ipv4 = 0x0A000100 + i;
    p.port = 1000;
    ids.push_back(conversations->Open(p));
  }
  EXPECT_EQ(conversations->table_capacity(), 40u);
  conversations->Close(ids[3]);
  EXPECT_EQ(conversations->table_capacity(), 40u);
  EXPECT_EQ(conversations->List().size(), 20u);
  EXPECT_EQ(conversations->Open(bob), 22u);  // ids are never reused
  EXPECT_EQ(conversations->List()[3].id, 22u);  // the freed entry is
  EXPECT_EQ(conversations->table_capacity(), 40u);
}

TEST_F(MainWindow, ClosingAConversationLetsTheNextMessageOpenANewOne) {
  Make(true);
  const ConversationId id = OpenBob();
  conversations->Close(id);
  FromBob(Code(5));
  ASSERT_EQ(conversations->List().size(), 1u);
  EXPECT_EQ(conversations->List()[0].id, 2u);
  // The call request that opened it rings there.
  EXPECT_EQ(conversations->List()[0].call_state, kCallConnected);
}

class BadInput : public test::ConversationTest {};

TEST_F(BadInput, TruncatedUnknownAndFarOutMessagesChangeNothingElse) {
  Make(true);
  const ConversationId id = OpenBob();
  const std::vector<uint8_t> whole[] = {Text(5, u"hello"), Ack(0), Code(1), Code(2), Code(5), Code(6),
                                        Code(7),           Code(9), Code(10), Code(8)};
  for (const auto& message : whole) {
    for (size_t n = 0; n < message.size() && n < 9; ++n) {
      FromBob(std::vector<uint8_t>(message.begin(), message.begin() + n));
    }
  }
  // Shorter than 4 bytes: counted only. Code 3 under 9 bytes and code 4
  // under 8: ignored. Unknown codes: ignored.
  for (uint32_t code : {11u, 12u, 0xFFFFFFFFu}) FromBob(Code(code));
  EXPECT_EQ(Get(id).call_state(), kCallIdle);
  EXPECT_TRUE(sender.Take().empty());
  for (const std::string& e : events.Take()) ADD_FAILURE() << e;

  // A number far outside the window is delivered and does not block the
  // peer's ordinary numbers.
  FromBob(Text(0xFFFFFFF0, u"far"));
  FromBob(Text(0, u"near"));
  FromBob(Text(1, u"next"));
  FromBob(Text(1, u"next"));
  size_t shown = 0;
  for (const std::string& e : events.Take()) shown += e.find("line incoming") != std::string::npos;
  EXPECT_EQ(shown, 3u);
  EXPECT_EQ(sender.Take().size(), 4u);  // every one acknowledged
  // An acknowledgement for nothing pending, text bytes of any value.
  FromBob(Ack(77));
  std::vector<uint8_t> junk = Text(2, u"");
  junk.resize(8 + 1500, 0xD8);
  FromBob(junk);
  EXPECT_EQ(events.Take().size(), 2u);  // one line, one alert
}

}  // namespace
}  // namespace orv
