// Conversations between two complete nodes on 127.0.0.1 that reach each
// other through a relay which may drop, duplicate or hold datagrams. One
// session is made for the whole suite; each test gets fresh conversations
// on both nodes. The conversations' ticks are called by the test; between
// ticks the test waits (briefly, bounded) for datagrams to arrive.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "app/manual_dispatcher.hpp"
#include "chat/conversations.hpp"
#include "chat_fakes.hpp"
#include "identity/utf16.hpp"
#include "net/net_fixture.hpp"

namespace orv {
namespace {

using test::Relay;

// One node's conversations with their own interface thread.
struct Side {
  Side(test::Node& node, std::function<bool(const uint32_t*, PeerRef&)> locate, bool allow_anyone = true)
      : node_(node), sender(*node.endpoint), network(*node.endpoint) {
    ConversationServices services;
    services.dispatcher = &dispatcher;
    services.sender = &sender;
    services.events = &events;
    services.network = &network;
    services.voice = &voice;
    services.locate = std::move(locate);
    services.start_timer = false;
    ConversationSettings settings;
    settings.allow_anyone = allow_anyone;
    conversations = std::make_unique<Conversations>(services, settings);
    NetworkConsumers set = node.consumers.Set();
    set.conversations = conversations.get();
    SetNetworkConsumers(*node.endpoint, set);
  }
  ~Side() {
    SetNetworkConsumers(*node_.endpoint, node_.consumers.Set());
    conversations.reset();
  }
  std::shared_ptr<Conversation> With(const uint32_t* peer) { return conversations->FindByUserId(peer); }
  uint32_t State(const uint32_t* peer) {
    auto c = With(peer);
    return c ? c->call_state() : 0xFFu;
  }
  size_t CountEvents(const std::string& text) {
    size_t n = 0;
    for (const std::string& e : events.Peek()) n += e.find(text) != std::string::npos;
    return n;
  }

  test::Node& node_;
  ManualDispatcher dispatcher;
  EndpointPayloadSender sender;
  EndpointConversationNetwork network;
  test::RecordingEvents events;
  test::RecordingVoiceProvider voice;
  std::unique_ptr<Conversations> conversations;
};

class TwoNodes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pair_ = new test::RelayedPair(test::Alice(), test::Bob());
    pair_->a.Send(pair_->BForA(), 0, {1, 0, 0, 0});  // a ping starts the session
    ASSERT_TRUE(pair_->a.WaitConnected(pair_->b.id()));
    ASSERT_TRUE(pair_->b.WaitConnected(pair_->a.id()));
    ASSERT_TRUE(pair_->a.WaitIdle());
    ASSERT_TRUE(pair_->b.WaitIdle());
  }
  static void TearDownTestSuite() {
    delete pair_;
    pair_ = nullptr;
  }

  void SetUp() override {
    pair_->relay.SetFilter(nullptr);
    const PeerRef b_for_a = pair_->BForA();
    a = std::make_unique<Side>(pair_->a, [b_for_a](const uint32_t*, PeerRef& out) {
      out = b_for_a;
      return true;
    });
    b = std::make_unique<Side>(pair_->b, nullptr);
  }
  void TearDown() override {
    pair_->relay.SetFilter(nullptr);
    pair_->relay.Release();
    a.reset();
    b.reset();
  }

  const uint32_t* AId() const { return pair_->a.id(); }
  const uint32_t* BId() const { return pair_->b.id(); }

  // Runs both interface threads until `done` holds or `limit` passes.
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::milliseconds(300)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
      a->dispatcher.RunPending();
      b->dispatcher.RunPending();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  // One second on both nodes (or only on the ones asked for), then a short
  // wait for what it sent to arrive. True once `done` holds.
  bool Second(const std::function<bool()>& done, bool tick_a = true, bool tick_b = true) {
    if (tick_a) a->conversations->Tick();
    if (tick_b) b->conversations->Tick();
    return Pump(done, std::chrono::milliseconds(20));
  }
  bool TickUntil(const std::function<bool()>& done, int seconds = 30) {
    for (int i = 0; i < seconds; ++i)
      if (Second(done)) return true;
    return false;
  }
  // Alice opens a conversation with Bob and both sides get one that is connected.
  std::shared_ptr<Conversation> Connect() {
    const ConversationId id = a->conversations->Open(pair_->BForA());
    EXPECT_NE(id, 0u);
    auto conversation = a->conversations->Get(id);
    conversation->SendChatInput(u"hello");
    EXPECT_TRUE(TickUntil([&] { return b->CountEvents("line incoming") == 1 && a->CountEvents("delivered") == 1; }));
    return conversation;
  }

  static test::RelayedPair* pair_;
  std::unique_ptr<Side> a, b;
};

test::RelayedPair* TwoNodes::pair_ = nullptr;

std::vector<std::string> IncomingTexts(test::RecordingEvents& events) {
  std::vector<std::string> texts;
  for (const HistoryLine& line : events.lines)
    if (line.kind == LineKind::kIncoming) texts.push_back(line.text);
  return texts;
}

TEST_F(TwoNodes, ChatArrivesInOrderAndEveryLineIsDelivered) {
  auto alice = Connect();
  for (const char16_t* text : {u"one", u"two", u"three"}) alice->SendChatInput(text);
  ASSERT_TRUE(Pump([&] { return a->CountEvents("delivered") == 4; }, std::chrono::seconds(10)));
  EXPECT_EQ(IncomingTexts(b->events), (std::vector<std::string>{"hello", "one", "two", "three"}));
  EXPECT_EQ(alice->pending_count(), 0u);
  EXPECT_EQ(b->State(AId()), kCallConnected);
  EXPECT_EQ(a->State(BId()), kCallConnected);
  // Bob answers.
  b->With(AId())->SendChatInput(u"hi Alice");
  ASSERT_TRUE(Pump([&] { return b->CountEvents("delivered") == 1; }, std::chrono::seconds(10)));
  EXPECT_EQ(IncomingTexts(a->events), (std::vector<std::string>{"hi Alice"}));
  EXPECT_EQ(a->events.Title(alice->id()), "Bob - online");
  EXPECT_EQ(a->events.Status(alice->id()).session.substr(0, 12), "session id: ");
}

TEST_F(TwoNodes, DuplicatedDatagramsShowEachLineOnce) {
  auto alice = Connect();
  pair_->relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kDuplicate; });
  for (const char16_t* text : {u"a", u"b", u"c"}) alice->SendChatInput(text);
  ASSERT_TRUE(Pump([&] { return a->CountEvents("delivered") == 4; }, std::chrono::seconds(10)));
  TickUntil([] { return false; }, 3);  // resends of anything still pending
  EXPECT_EQ(IncomingTexts(b->events), (std::vector<std::string>{"hello", "a", "b", "c"}));
}

TEST_F(TwoNodes, LostAndReorderedTextsAreResentUntilAcknowledgedAndShownInOrder) {
  auto alice = Connect();
  // From Alice: half the sealed datagrams are lost (seeded); of the rest,
  // every third is held back and sent late.
  auto random = std::make_shared<std::mt19937>(19);
  auto count = std::make_shared<int>(0);
  pair_->relay.SetFilter([random, count](Relay::Side side, std::vector<uint8_t>& d) {
    if (side != Relay::Side::kFromA || test::DatagramTypeOf(d) != kEncoded) return Relay::Verdict::kPass;
    if ((*random)() % 2 == 0) return Relay::Verdict::kDrop;
    return ++*count % 3 == 0 ? Relay::Verdict::kHold : Relay::Verdict::kPass;
  });
  std::vector<std::string> sent{"hello"};
  for (int i = 0; i < 8; ++i) {
    sent.push_back("line " + std::to_string(i));
    alice->SendChatInput(Utf8ToUtf16(sent.back()));
  }
  Pump([] { return false; }, std::chrono::milliseconds(50));
  pair_->relay.Release();  // the held ones arrive late, out of order
  pair_->relay.SetFilter([random](Relay::Side side, std::vector<uint8_t>& d) {
    if (side != Relay::Side::kFromA || test::DatagramTypeOf(d) != kEncoded) return Relay::Verdict::kPass;
    return (*random)() % 2 == 0 ? Relay::Verdict::kDrop : Relay::Verdict::kPass;
  });
  ASSERT_TRUE(TickUntil([&] { return alice->pending_count() == 0; }, 60));
  // The last acknowledgement empties the pending list on the network thread;
  // its "delivered" line reaches the interface thread by a posted task.
  Pump([&] { return a->CountEvents("delivered") >= 9; });
  EXPECT_EQ(a->CountEvents("delivered"), 9u);
  EXPECT_EQ(IncomingTexts(b->events), sent);  // each once, in the order written
}

TEST_F(TwoNodes, CallsMeetInVoiceWhenBothDial) {
  auto alice = Connect();
  auto bob = b->With(AId());
  // At once: neither call request reaches the other side before both
  // pressed (otherwise the first one rings there, as it should).
  pair_->relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kHold; });
  alice->PressCallButton();
  bob->PressCallButton();
  ASSERT_TRUE(test::WaitFor([&] { return pair_->relay.Held() >= 2; }));
  pair_->relay.SetFilter([](Relay::Side, std::vector<uint8_t>&) { return Relay::Verdict::kPass; });
  pair_->relay.Release();
  ASSERT_TRUE(TickUntil([&] { return alice->call_state() == kCallInVoice && bob->call_state() == kCallInVoice; }, 5));
  // The voice engines start from posted tasks.
  ASSERT_TRUE(Pump([&] { return a->voice.log.size() >= 2 && b->voice.log.size() >= 2; }));
  EXPECT_EQ(a->CountEvents("ring shown"), 0u);
  EXPECT_EQ(b->CountEvents("ring shown"), 0u);
  EXPECT_EQ(a->CountEvents("tone dial"), 1u);
  EXPECT_FALSE(alice->ring_open());
  EXPECT_FALSE(bob->ring_open());
  EXPECT_EQ(a->voice.log, (std::vector<std::string>{"created", "start"}));
  EXPECT_EQ(b->voice.log, (std::vector<std::string>{"created", "start"}));
  alice->PressCallButton();
  ASSERT_TRUE(Pump([&] { return bob->call_state() == kCallIdle; }));
  EXPECT_TRUE(Pump([&] { return b->voice.log.back() == "stop"; }));
}

TEST_F(TwoNodes, ACallIsAnsweredAndHungUp) {
  auto alice = Connect();
  auto bob = b->With(AId());
  alice->PressCallButton();
  ASSERT_TRUE(Pump([&] { return bob->ring_open(); }));
  EXPECT_EQ(b->CountEvents("ring shown Alice is calling\nAnswer call?"), 1u);
  EXPECT_EQ(b->CountEvents("tone ring"), 1u);
  TickUntil([] { return false; }, 3);  // it rings on
  EXPECT_TRUE(bob->ring_open());
  bob->AnswerRing();
  ASSERT_TRUE(TickUntil([&] { return alice->call_state() == kCallInVoice; }, 3));
  EXPECT_EQ(bob->call_state(), kCallInVoice);
  // The call state changes on the receive thread; the ring closes in the
  // task it posts.
  EXPECT_TRUE(Pump([&] { return !alice->ring_open(); }));
  bob->PressCallButton();  // Bob hangs up
  ASSERT_TRUE(Pump([&] { return alice->call_state() == kCallIdle; }));
  EXPECT_TRUE(Pump([&] { return a->voice.log.size() >= 3; }));
  EXPECT_EQ(a->voice.log, (std::vector<std::string>{"created", "start", "stop"}));
}

TEST_F(TwoNodes, ARefusedCallEndsOnBothSides) {
  auto alice = Connect();
  auto bob = b->With(AId());
  alice->PressCallButton();
  ASSERT_TRUE(Pump([&] { return bob->ring_open(); }));
  bob->RefuseRing();
  ASSERT_TRUE(Pump([&] { return alice->call_state() == kCallIdle; }));
  EXPECT_TRUE(Pump([&] { return !alice->ring_open(); }));  // the dial tone stops with the call
  EXPECT_EQ(bob->call_state(), kCallAbort);
  int seconds = 0;
  while (bob->call_state() == kCallAbort && seconds < 10) {
    Second([] { return false; }, false, true);
    ++seconds;
  }
  EXPECT_EQ(seconds, 4);
  EXPECT_EQ(bob->call_state(), kCallIdle);
}

TEST_F(TwoNodes, AnUnansweredCallGivesUpAfter61SecondsAndTheRingStops11Later) {
  auto alice = Connect();
  auto bob = b->With(AId());
  // A ringing side sends nothing back; a late copy of the chat's
  // acknowledgement would restart Alice's count of silent seconds.
  pair_->relay.SetFilter([](Relay::Side side, std::vector<uint8_t>&) {
    return side == Relay::Side::kFromB ? Relay::Verdict::kDrop : Relay::Verdict::kPass;
  });
  alice->PressCallButton();
  ASSERT_TRUE(Pump([&] { return bob->ring_open(); }));
  int seconds = 0;
  while (alice->call_state() == kCallDialing && seconds < 70) {
    // Each of Alice's dialing seconds sends a call request; Bob's next
    // second waits until it has been handed to his interface thread, so
    // that his ring counts seconds of the call, not of a slow machine.
    const size_t heard = b->dispatcher.Posted();
    Second([] { return false; });
    ++seconds;
    if (alice->call_state() == kCallDialing) {
      EXPECT_TRUE(Pump([&] { return b->dispatcher.Posted() > heard; }, std::chrono::seconds(10))) << seconds;
    }
    Pump([] { return true; });
    // Alice's calls keep Bob's ring open.
    if (seconds < 60) {
      EXPECT_TRUE(bob->ring_open()) << seconds;
    }
  }
  EXPECT_EQ(seconds, 61);
  EXPECT_EQ(alice->call_state(), kCallIdle);
  EXPECT_FALSE(alice->ring_open());
  for (int i = 0; i < 11 && bob->ring_open(); ++i) Second([] { return false; });
  EXPECT_FALSE(bob->ring_open());
  EXPECT_EQ(bob->call_state(), kCallConnected);
}

TEST_F(TwoNodes, ACallThatHearsNothingFallsBackToDialingAndThenGivesUp) {
  auto alice = Connect();
  auto bob = b->With(AId());
  alice->PressCallButton();
  ASSERT_TRUE(Pump([&] { return bob->ring_open(); }));
  bob->AnswerRing();
  ASSERT_TRUE(TickUntil([&] { return alice->call_state() == kCallInVoice; }, 3));
  // Bob vanishes: nothing from him reaches Alice any more.
  pair_->relay.SetFilter([](Relay::Side side, std::vector<uint8_t>&) {
    return side == Relay::Side::kFromB ? Relay::Verdict::kDrop : Relay::Verdict::kPass;
  });
  Pump([] { return false; }, std::chrono::milliseconds(50));
  alice->channel().silence_counter = 0;
  int seconds = 0;
  while (alice->call_state() == kCallInVoice && seconds < 30) {
    Second([] { return false; }, true, false);
    ++seconds;
  }
  EXPECT_EQ(seconds, 21);
  EXPECT_EQ(alice->call_state(), kCallDialing);
  EXPECT_EQ(a->voice.log.back(), "start");  // the voice stops only below dialing
  while (alice->call_state() == kCallDialing && seconds < 80) {
    Second([] { return false; }, true, false);
    ++seconds;
  }
  EXPECT_EQ(seconds, 61);
  EXPECT_EQ(alice->call_state(), kCallIdle);
  EXPECT_EQ(a->voice.log.back(), "stop");
}

TEST_F(TwoNodes, NodesThatRefuseStrangersRefuseOnceAndNeverAnswerARefusal) {
  const PeerRef b_for_a = pair_->BForA();
  a.reset();
  b.reset();
  b = std::make_unique<Side>(pair_->b, nullptr, false);
  a = std::make_unique<Side>(
      pair_->a,
      [b_for_a](const uint32_t*, PeerRef& out) {
        out = b_for_a;
        return true;
      },
      false);
  auto from_b = std::make_shared<std::atomic<int>>(0);
  pair_->relay.SetFilter([from_b](Relay::Side side, std::vector<uint8_t>& d) {
    if (side == Relay::Side::kFromB && test::DatagramTypeOf(d) == kEncoded) from_b->fetch_add(1);
    return Relay::Verdict::kPass;
  });
  // Alice's own conversation with Bob, who does not know her: refused.
  auto alice = a->conversations->Get(a->conversations->Open(b_for_a));
  alice->SendChatInput(u"may I?");
  ASSERT_TRUE(Pump([&] { return alice->call_state() == kCallRejected; }));
  EXPECT_TRUE(b->conversations->List().empty());
  // Her conversation goes; a refusal that reaches her now meets a node that
  // refuses strangers too, and is not answered.
  a->conversations->Close(alice->id());
  // Each of her messages met one refusal; let those still on the way land.
  Pump([] { return false; }, std::chrono::milliseconds(200));
  const int before = from_b->load();
  pair_->a.Send(b_for_a, 1, {10, 0, 0, 0});
  pair_->a.Send(b_for_a, 1, {10, 0, 0, 0});
  Pump([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(from_b->load(), before);
}

}  // namespace
}  // namespace orv
