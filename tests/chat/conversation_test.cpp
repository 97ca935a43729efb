// One conversation with its collaborators faked: chat sending, delivery
// and resending, incoming texts and duplicates, calls with their ring
// window and voice engine, and the status bar.
#include <thread>

#include "conversation_fixture.hpp"

namespace orv {
namespace {

using test::Ack;
using test::Code;
using test::Codes;
using test::Events;
using test::Text;

class Chat : public test::ConversationTest {
 protected:
  void SetUp() override { Make(); }
};

TEST_F(Chat, SendingFromIdleConnectsFirstAndTheAcknowledgementMarksTheLine) {
  const ConversationId id = OpenBob();
  Get(id).SendChatInput(u"hello");
  const auto sent = sender.Take();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].code(), 1u);  // code 1 first
  const auto text = DecodeChatText(sent[1].data.data(), sent[1].data.size());
  ASSERT_TRUE(text);
  EXPECT_EQ(text->sequence, 0u);
  EXPECT_EQ(text->text, u"hello");
  ASSERT_TRUE(text->numbering);  // this conversation's numbering, nothing waiting below 0
  EXPECT_EQ(text->numbering->lowest_unacknowledged, 0u);
  EXPECT_EQ(sent[1].inner_type, 1u);
  EXPECT_TRUE(SameUserId(sent[1].target.user_id, bob.user_id));
  dispatcher.RunPending();
  EXPECT_EQ(events.Take(), (Events{"1: line pending 1 hello", "1: state CONNECTION"}));
  EXPECT_EQ(events.lines.back().line, "01/02/25 10:30 > hello\n");

  FromBob(Code(2));  // connect reply
  EXPECT_EQ(Get(id).call_state(), kCallConnected);
  FromBob(Ack(0));
  EXPECT_EQ(events.Take(), (Events{"1: state CONNECTED", "1: delivered 1"}));
  EXPECT_EQ(Get(id).pending_count(), 0u);
  FromBob(Ack(0));  // a repeated acknowledgement changes nothing
  EXPECT_TRUE(events.Take().empty());
}

TEST_F(Chat, ALongInputIsSentAsPartsWithTheirOwnNumbersAndLines) {
  const ConversationId id = OpenBob();
  Get(id).SendChatInput(std::u16string(1000, u'a'));
  Get(id).SendChatInput(u"third");
  auto sent = sender.Take();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1].sequence(), 0u);
  EXPECT_EQ(sent[1].data.size(), 8u + 1056u);  // 1024 bytes and the numbering, padded
  EXPECT_EQ(sent[2].sequence(), 1u);
  EXPECT_EQ(sent[2].data.size(), 8u + 992u);  // 976 bytes and the numbering padded to 992
  EXPECT_EQ(sent[3].sequence(), 2u);
  // The acknowledgement of the third leaves the first two pending.
  FromBob(Code(2));
  events.Take();
  FromBob(Ack(2));
  EXPECT_EQ(events.Take(), (Events{"1: delivered 3"}));
  EXPECT_EQ(Get(id).pending_count(), 2u);
  // They are resent every second, in order, with their own numbers.
  Tick();
  sent = sender.Take();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].sequence(), 0u);
  EXPECT_EQ(sent[1].sequence(), 1u);
  FromBob(Ack(0));
  FromBob(Ack(1));
  Tick(3);
  EXPECT_TRUE(sender.Take().empty());
}

TEST_F(Chat, PendingMessagesWaitInConnectionAndAreResentOnceConnected) {
  const ConversationId id = OpenBob();
  Get(id).SendChatInput(u"hi");
  sender.Take();
  Tick(3);
  EXPECT_EQ(sender.Codes(), (Codes{1, 1, 1}));  // code 1 every second, no resend yet
  FromBob(Code(2));
  Tick();
  EXPECT_EQ(sender.Codes(), (Codes{3}));
}

TEST_F(Chat, AnIncomingTextIsShownOnceAndAcknowledgedEveryTime) {
  const ConversationId id = OpenBob();
  FromBob(Code(1));
  EXPECT_EQ(sender.Codes(), (Codes{2}));
  events.Take();
  for (int i = 0; i < 3; ++i) FromBob(Text(0, u"hey"));
  FromBob(Text(1, u"you"));
  FromBob(Text(0, u"hey"));
  const auto sent = sender.Take();
  ASSERT_EQ(sent.size(), 5u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(sent[i].data, Ack(i < 3 ? 0 : 1));
  EXPECT_EQ(sent[4].data, Ack(0));
  EXPECT_EQ(events.Take(), (Events{"1: line incoming 1 hey", "1: alert", "1: line incoming 2 you", "1: alert"}));
  EXPECT_EQ(events.lines[0].line, "01/02/25 10:30 < hey\n");
  (void)id;
}

TEST_F(Chat, APeerThatRestartsItsNumberingGetsThrough) {
  OpenBob();
  FromBob(Code(1));
  for (uint32_t n = 0; n < 5; ++n) FromBob(Text(n, u"old"));
  events.Take();
  // Its conversation was closed and opened again: code 1, then 0, 1, 2 anew.
  FromBob(Code(1));
  FromBob(Text(0, u"new0"));
  FromBob(Text(0, u"new0"));
  FromBob(Text(1, u"new1"));
  EXPECT_EQ(events.Take(), (Events{"1: line incoming 6 new0", "1: alert", "1: line incoming 7 new1", "1: alert"}));
}

TEST_F(Chat, AfterFortyAnOldNumberEightIsNotShownAgain) {
  OpenBob();
  FromBob(Text(40, u"forty"));
  FromBob(Text(8, u"eight"));
  FromBob(Text(9, u"nine"));
  FromBob(Text(8, u"eight"));
  size_t shown = 0;
  for (const std::string& e : events.Take()) shown += e.find("line incoming") != std::string::npos;
  // Eight, 32 below forty, is an old text resent after an outage (only 0
  // restarts a peer's numbers); nine, inside the window, is new.
  EXPECT_EQ(shown, 2u);
}

TEST_F(Chat, TypingNoticesGoAtMostEveryTwoSecondsAndTheSignFadesOverFourTicks) {
  const ConversationId id = OpenBob();
  Get(id).SendTypingNotice();
  now_ms = 1000;
  Get(id).SendTypingNotice();
  now_ms = 2500;
  Get(id).SendTypingNotice();
  EXPECT_EQ(sender.Codes(), (Codes{9, 9}));

  FromBob(Code(9));
  EXPECT_EQ(events.Take(), (Events{"1: typing"}));
  std::vector<std::string> signs{events.Status(id).typing};
  for (int i = 0; i < 5; ++i) {
    Tick();
    signs.push_back(events.Status(id).typing);
  }
  EXPECT_EQ(signs, (std::vector<std::string>{"*", "**", "***", "****", "", ""}));
}

TEST_F(Chat, StatusBarAndTitle) {
  network.counters.received_control = 13;
  network.counters.secured = 4;
  network.counters.dropped = 1;
  network.counters.sent_control = 15;
  network.counters.lost_bytes = 16;
  const ConversationId id = OpenBob();
  StatusBar s = events.Status(id);
  EXPECT_EQ(s.call_state, "IDLE");
  EXPECT_EQ(s.typing, "");
  EXPECT_EQ(s.session, "session id: AAAA 2222 BBBB 4444 CCCC");
  EXPECT_EQ(s.counters, "packets overhead: 13, secured: 4, dropped: 1, sent: 15, lost bytes: 16");
  EXPECT_EQ(s.mute, MuteButton::kUnavailable);
  EXPECT_EQ(events.Title(id), "Bob - online");

  network.session = false;
  network.presence = 2;
  contacts.Add(bob.user_id, "Robert");
  Tick();
  s = events.Status(id);
  EXPECT_EQ(s.session, "Not connected");
  EXPECT_EQ(events.Title(id), "Robert - away");
  network.presence = 0;
  Tick();
  EXPECT_EQ(events.Title(id), "Robert - offline");

  FromBob(Code(5));
  Get(id).AnswerRing();
  dispatcher.RunPending();
  EXPECT_EQ(events.Status(id).call_state, "IN VOICE");
  EXPECT_EQ(events.Status(id).mute, MuteButton::kLive);
  Get(id).ToggleMute();
  EXPECT_EQ(events.Status(id).mute, MuteButton::kMuted);
}

class Calls : public test::ConversationTest {
 protected:
  void SetUp() override { Make(); }
};

TEST_F(Calls, DialingPlaysTheDialToneHiddenUntilThePeerAnswers) {
  const ConversationId id = OpenBob();
  Get(id).PressCallButton();
  EXPECT_EQ(sender.Codes(), (Codes{5}));
  dispatcher.RunPending();
  EXPECT_EQ(events.Take(), (Events{"1: ring hidden Bob is calling\nAnswer call?", "1: tone dial", "1: state DIALING"}));
  Tick(5);
  EXPECT_EQ(sender.Codes(), (Codes{5, 5, 5, 5, 5}));
  EXPECT_TRUE(Get(id).ring_open());  // the dial tone plays on while dialing

  FromBob(Code(7));  // answered
  EXPECT_EQ(events.Take(), (Events{"1: tone stopped", "1: ring closed", "1: state IN VOICE"}));
  EXPECT_EQ(voice.log, (std::vector<std::string>{"created", "start"}));
  Tick();
  EXPECT_EQ(sender.Codes(), (Codes{7}));

  Get(id).PressCallButton();  // hang up
  EXPECT_EQ(sender.Codes(), (Codes{6}));
  dispatcher.RunPending();
  EXPECT_EQ(events.Take(), (Events{"1: state IDLE"}));
  EXPECT_EQ(voice.log.back(), "stop");
}

TEST_F(Calls, AnIncomingCallRingsUntilElevenSecondsAfterTheLastRequest) {
  const ConversationId id = OpenBob();
  FromBob(Code(5));
  EXPECT_EQ(events.Take(), (Events{"1: state CONNECTED", "1: ring shown Bob is calling\nAnswer call?", "1: tone ring"}));
  for (int i = 0; i < 20; ++i) {
    Tick();
    FromBob(Code(5));
  }
  EXPECT_TRUE(Get(id).ring_open());
  Tick(10);
  EXPECT_TRUE(Get(id).ring_open());
  Tick();
  EXPECT_FALSE(Get(id).ring_open());
  EXPECT_EQ(events.Take(), (Events{"1: tone stopped", "1: ring closed"}));
  EXPECT_EQ(Get(id).call_state(), kCallConnected);
  EXPECT_TRUE(sender.Take().empty());
}

TEST_F(Calls, AnsweringGoesIntoVoiceAndSendsCode7OnTheNextTick) {
  const ConversationId id = OpenBob();
  FromBob(Code(5));
  events.Take();
  Get(id).AnswerRing();
  dispatcher.RunPending();
  EXPECT_EQ(events.Take(), (Events{"1: tone stopped", "1: ring closed", "1: state IN VOICE"}));
  EXPECT_TRUE(sender.Take().empty());
  Tick();
  EXPECT_EQ(sender.Codes(), (Codes{7}));
  FromBob(Code(5));  // the caller's request crossed our answer
  EXPECT_EQ(sender.Codes(), (Codes{7}));
  FromBob(Code(6));  // the caller hangs up
  EXPECT_EQ(Get(id).call_state(), kCallIdle);
  EXPECT_EQ(voice.log, (std::vector<std::string>{"created", "start", "stop"}));
}

TEST_F(Calls, RefusingShowsAbortForFourSecondsThenIdle) {
  const ConversationId id = OpenBob();
  FromBob(Code(5));
  events.Take();
  Get(id).RefuseRing();
  EXPECT_EQ(sender.Codes(), (Codes{6}));
  dispatcher.RunPending();
  EXPECT_EQ(events.Take(), (Events{"1: tone stopped", "1: ring closed", "1: state ABORT"}));
  FromBob(Code(5));  // the caller's next request is refused again
  EXPECT_EQ(sender.Codes(), (Codes{6}));
  Tick(3);
  EXPECT_EQ(Get(id).call_state(), kCallAbort);
  Tick();
  EXPECT_EQ(Get(id).call_state(), kCallIdle);
  EXPECT_EQ(events.Take(), (Events{"1: state IDLE"}));
}

TEST_F(Calls, ACode7InConnectedIsAnsweredWithHangUpAndCode10Rejects) {
  const ConversationId id = OpenBob();
  FromBob(Code(2));
  FromBob(Code(7));
  EXPECT_EQ(sender.Codes(), (Codes{6}));
  FromBob(Code(10));
  EXPECT_EQ(Get(id).call_state(), kCallRejected);
  EXPECT_EQ(events.Take(), (Events{"1: state CONNECTED", "1: state REJECTED"}));
}

TEST_F(Calls, AnIncomingCallAfterACallOutEndedRingsShown) {
  const ConversationId id = OpenBob();
  Get(id).PressCallButton();
  FromBob(Code(10));  // refused: the hidden dial window counts down
  events.Take();
  FromBob(Code(5));
  EXPECT_EQ(events.Take(), (Events{"1: tone stopped", "1: ring closed", "1: ring shown Bob is calling\nAnswer call?",
                                   "1: tone ring"}));
}

TEST_F(Calls, ClosingStopsTheRingAndTheVoiceAndDropsLaterMessages) {
  const ConversationId id = OpenBob();
  FromBob(Code(5));
  Get(id).AnswerRing();
  dispatcher.RunPending();
  auto kept = conversations->Get(id);
  events.Take();
  conversations->Close(id);
  EXPECT_EQ(events.Take(), (Events{"1: closed"}));
  EXPECT_EQ(voice.log.back(), "destroyed");
  kept->HandleCallMessage(kept->channel(), kCodeHangUp);  // a receive thread that still held it
  dispatcher.RunPending();
  EXPECT_TRUE(events.Take().empty());
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// The receive thread acknowledges, delivers and answers while the
// interface thread sends, resends and ticks: the pending list and the
// numbers stay whole.
TEST_F(Chat, TheReceiveThreadAndTheInterfaceThreadShareTheChannelSafely) {
  const ConversationId id = OpenBob();
  FromBob(Code(1));
  Conversation& c = Get(id);
  std::atomic<bool> stop{false};
  std::thread receive([&] {
    NetworkConsumers set;
    set.conversations = conversations.get();
    for (uint32_t n = 0; n < 2000 && !stop.load(); ++n) {
      for (const auto& data : {Ack(n / 2), Text(n, u"x"), Code(9), Code(2)}) {
        std::vector<uint8_t> plaintext = {1, 0, 0, 0};
        plaintext.insert(plaintext.end(), data.begin(), data.end());
        DispatchPayload(set, plaintext.data(), plaintext.size(), bob);
      }
    }
  });
  for (int i = 0; i < 300; ++i) {
    c.SendChatInput(u"y");
    c.Tick();
    dispatcher.RunPending();
  }
  stop.store(true);
  receive.join();
  dispatcher.RunPending();
  EXPECT_LE(c.pending_count(), 300u);
  EXPECT_EQ(c.call_state(), kCallConnected);
}

}  // namespace
}  // namespace orv
