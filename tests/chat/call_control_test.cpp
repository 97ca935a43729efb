// The call state machine: the receive table row by row, the user's
// operations, the tick's time-outs, the typing notice and the ring window.
#include <gtest/gtest.h>

#include "chat/call_control.hpp"
#include "chat/chat_channel.hpp"
#include "chat/ring_controller.hpp"

namespace orv {
namespace {

std::vector<uint32_t> Sent(const CallActions& a) { return {a.sends.begin(), a.sends.begin() + a.send_count}; }

using Codes = std::vector<uint32_t>;

TEST(CallControl, ReceiveTable) {
  struct Row {
    uint32_t code;
    uint32_t before;
    uint32_t after;
    Codes replies;
    bool changed;
    bool incoming;
    bool typing;
  } rows[] = {
      // code 1: reply 2; not 4 -> 4 and a state change.
      {1, 0, 4, {2}, true, false, false},
      {1, 2, 4, {2}, true, false, false},
      {1, 4, 4, {2}, false, false, false},
      {1, 6, 4, {2}, true, false, false},
      // code 2
      {2, 0, 4, {}, true, false, false},
      {2, 1, 4, {}, true, false, false},
      {2, 2, 4, {}, true, false, false},
      {2, 3, 4, {}, true, false, false},
      {2, 4, 4, {}, false, false, false},
      {2, 5, 5, {}, false, false, false},
      {2, 6, 6, {}, false, false, false},
      // code 5
      {5, 0, 4, {}, true, true, false},
      {5, 1, 1, {}, false, true, false},
      {5, 2, 2, {}, false, true, false},
      {5, 3, 3, {6}, false, false, false},
      {5, 4, 4, {}, false, true, false},
      {5, 5, 6, {7}, true, false, false},
      {5, 6, 6, {7}, false, false, false},
      // code 6
      {6, 0, 0, {}, true, false, false},
      {6, 4, 0, {}, true, false, false},
      {6, 6, 0, {}, true, false, false},
      // code 7
      {7, 0, 0, {6}, false, false, false},
      {7, 2, 2, {6}, false, false, false},
      {7, 4, 4, {6}, false, false, false},
      {7, 5, 6, {}, true, false, false},
      {7, 6, 6, {}, false, false, false},
      // code 9
      {9, 0, 0, {}, false, false, true},
      {9, 6, 6, {}, false, false, true},
      // code 10
      {10, 0, 1, {}, true, false, false},
      {10, 6, 1, {}, true, false, false},
      // codes the table does not know
      {3, 4, 4, {}, false, false, false},
      {11, 4, 4, {}, false, false, false},
  };
  for (const Row& r : rows) {
    CallChannel channel;
    channel.call_state = r.before;
    channel.playing = true;
    const CallActions a = ReceiveCallCode(channel, r.code);
    const std::string what = "code " + std::to_string(r.code) + " in state " + std::to_string(r.before);
    EXPECT_EQ(channel.call_state.load(), r.after) << what;
    EXPECT_EQ(Sent(a), r.replies) << what;
    EXPECT_EQ(a.state_changed, r.changed) << what;
    EXPECT_EQ(a.incoming_call, r.incoming) << what;
    EXPECT_EQ(a.typing, r.typing) << what;
    EXPECT_FALSE(a.resend_chat) << what;
    if (r.after == kCallInVoice && r.before != kCallInVoice) {
      EXPECT_FALSE(channel.playing.load()) << what;
    }
  }
}

TEST(CallControl, Code1ConnectsButNeverRestartsOurNumbering) {
  CallChannel channel;
  channel.call_state = kCallIdle;
  channel.next_sequence = 5;
  CallActions a = ReceiveCallCode(channel, kCodeConnect);
  EXPECT_EQ(Sent(a), Codes{2});
  EXPECT_EQ(channel.call_state.load(), kCallConnected);
  EXPECT_EQ(channel.next_sequence, 5u);  // texts still waiting keep their numbers
  a = ReceiveCallCode(channel, kCodeConnect);
  EXPECT_EQ(Sent(a), Codes{2});
  EXPECT_FALSE(a.state_changed);
  EXPECT_EQ(channel.next_sequence, 5u);
}

TEST(CallControl, UserOperations) {
  CallChannel channel;
  channel.silence_counter = 9;
  CallActions a = DialPeer(channel);
  EXPECT_EQ(channel.call_state.load(), kCallDialing);
  EXPECT_EQ(Sent(a), Codes{5});
  EXPECT_TRUE(a.state_changed);
  EXPECT_EQ(channel.silence_counter.load(), 0u);
  EXPECT_EQ(Sent(DialPeer(channel)), Codes{});  // already dialing

  a = HangUp(channel);
  EXPECT_EQ(channel.call_state.load(), kCallIdle);
  EXPECT_EQ(Sent(a), Codes{6});
  a = HangUp(channel);  // nothing to hang up
  EXPECT_EQ(Sent(a), Codes{});
  EXPECT_FALSE(a.state_changed);

  channel.call_state = kCallConnected;
  channel.silence_counter = 4;
  a = RefuseCall(channel);
  EXPECT_EQ(channel.call_state.load(), kCallAbort);
  EXPECT_EQ(Sent(a), Codes{6});
  EXPECT_EQ(channel.silence_counter.load(), 0u);

  channel.call_state = kCallConnected;
  channel.playing = true;
  a = AnswerCall(channel);
  EXPECT_EQ(channel.call_state.load(), kCallInVoice);
  EXPECT_EQ(Sent(a), Codes{});  // code 7 goes with the next tick
  EXPECT_FALSE(channel.playing.load());
  EXPECT_TRUE(a.state_changed);
}

// Ticks until the state changes; the number of ticks and the codes sent.
struct TickRun {
  int ticks = 0;
  Codes codes;
};
TickRun TickUntilChange(CallChannel& channel, int limit = 200) {
  TickRun run;
  const uint32_t start = channel.call_state.load();
  while (run.ticks < limit && channel.call_state.load() == start) {
    const CallActions a = CallTick(channel);
    ++run.ticks;
    for (uint32_t c : Sent(a)) run.codes.push_back(c);
  }
  return run;
}

TEST(CallControl, TickTimeOuts) {
  CallChannel channel;
  channel.call_state = kCallAbort;
  TickRun run = TickUntilChange(channel);
  EXPECT_EQ(run.ticks, 4);  // a refused call is back to "IDLE" after 4 seconds
  EXPECT_EQ(channel.call_state.load(), kCallIdle);
  EXPECT_TRUE(run.codes.empty());

  channel.call_state = kCallDialing;
  channel.silence_counter = 0;
  run = TickUntilChange(channel);
  EXPECT_EQ(run.ticks, 61);  // an unanswered call gives up after 61 seconds
  EXPECT_EQ(run.codes, Codes(61, 5));
  EXPECT_EQ(channel.call_state.load(), kCallIdle);

  channel.call_state = kCallInVoice;
  channel.silence_counter = 0;
  run = TickUntilChange(channel);
  EXPECT_EQ(run.ticks, 21);  // 21 silent seconds in voice: back to dialing
  EXPECT_EQ(run.codes, Codes(21, 7));
  EXPECT_EQ(channel.call_state.load(), kCallDialing);
  run = TickUntilChange(channel);
  EXPECT_EQ(run.ticks, 40);  // the counter runs on: 40 seconds later it gives up
  EXPECT_EQ(channel.call_state.load(), kCallIdle);

  // Connected, idle and rejected have no time-out; connection sends code 1.
  for (uint32_t state : {kCallIdle, kCallRejected, kCallConnection, kCallConnected}) {
    channel.call_state = state;
    channel.silence_counter = 7;
    run = TickUntilChange(channel, 100);
    EXPECT_EQ(run.ticks, 100) << state;
    EXPECT_EQ(run.codes, state == kCallConnection ? Codes(100, 1) : Codes{}) << state;
    if (state <= kCallRejected) {
      EXPECT_EQ(channel.silence_counter.load(), 0u);
    }
  }
}

TEST(CallControl, MessagesFromThePeerKeepACallAlive) {
  CallChannel channel;
  channel.call_state = kCallInVoice;
  for (int i = 0; i < 100; ++i) {
    CallTick(channel);
    channel.silence_counter = 0;  // what every received message does
  }
  EXPECT_EQ(channel.call_state.load(), kCallInVoice);
}

TEST(CallControl, TheTickResendsChatFromAbortOn) {
  for (uint32_t state = kCallIdle; state <= kCallInVoice; ++state) {
    CallChannel channel;
    channel.call_state = state;
    EXPECT_FALSE(CallTick(channel).resend_chat) << "nothing pending in state " << state;
    channel.pending.emplace_back();
    channel.call_state = state;
    EXPECT_EQ(CallTick(channel).resend_chat, state >= kCallAbort) << state;
  }
}

TEST(CallControl, TypingNoticeAtMostOncePer2000ms) {
  CallChannel channel;
  bool sent = false;
  EXPECT_TRUE(TypingNoticeDue(channel, 100, sent));  // the first one goes at once
  EXPECT_FALSE(TypingNoticeDue(channel, 1500, sent));
  EXPECT_FALSE(TypingNoticeDue(channel, 2100, sent));
  EXPECT_TRUE(TypingNoticeDue(channel, 2101, sent));
  // The millisecond clock may wrap.
  EXPECT_TRUE(TypingNoticeDue(channel, 0xFFFFFF00u, sent));
  EXPECT_FALSE(TypingNoticeDue(channel, 500, sent));
  EXPECT_TRUE(TypingNoticeDue(channel, 2000, sent));
}

TEST(CallControl, StateNames) {
  const char* names[] = {"IDLE", "REJECTED", "CONNECTION", "ABORT", "CONNECTED", "DIALING", "IN VOICE"};
  for (uint32_t s = 0; s < 7; ++s) EXPECT_EQ(CallStateName(s), names[s]);
  EXPECT_EQ(CallStateName(7), "");
}

TEST(RingController, RingsWhileCallRequestsArriveAndClosesElevenSecondsAfterTheLast) {
  RingController ring;
  ASSERT_TRUE(ring.Open(false));
  EXPECT_TRUE(ring.shown());
  EXPECT_EQ(ring.tone(), Tone::kRing);
  EXPECT_FALSE(ring.Open(false));
  for (int i = 0; i < 30; ++i) {
    EXPECT_FALSE(ring.Tick(kCallConnected));
    ring.RestartCount();  // a call request each second
  }
  for (int i = 1; i < 11; ++i) EXPECT_FALSE(ring.Tick(kCallConnected)) << i;
  EXPECT_TRUE(ring.Tick(kCallConnected));
  EXPECT_FALSE(ring.open());
}

TEST(RingController, DialToneWaitsWhileDialingAndClosesInVoice) {
  RingController ring;
  ASSERT_TRUE(ring.Open(true));
  EXPECT_FALSE(ring.shown());
  EXPECT_EQ(ring.tone(), Tone::kDial);
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(ring.Tick(kCallDialing));
  EXPECT_TRUE(ring.Tick(kCallInVoice));
  EXPECT_FALSE(ring.Close());
}

}  // namespace
}  // namespace orv
