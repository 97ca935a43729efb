// The call state machine of a call channel: the user's operations, the
// receive table of the control codes and the one-second tick with its
// time-outs. Each operation changes the channel under its lock and returns
// what the caller must do once the lock is released (codes to send, the
// state-changed, incoming-call and typing notices, the chat resend), so
// that the lock is never held while anything is sent or posted.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "net/call_channel.hpp"

namespace orv {

enum CallState : uint32_t {
  kCallIdle = 0,
  kCallRejected = 1,
  kCallConnection = 2,
  kCallAbort = 3,
  kCallConnected = 4,
  kCallDialing = 5,
  kCallInVoice = 6,
};

// "IDLE", "REJECTED", "CONNECTION", "ABORT", "CONNECTED", "DIALING",
// "IN VOICE"; "" for any other value.
std::string_view CallStateName(uint32_t state);

// Time-outs of the tick, in seconds of silence from the peer.
constexpr uint32_t kAbortSeconds = 3;     // "ABORT" falls back to "IDLE" above this
constexpr uint32_t kDialingSeconds = 60;  // "DIALING" gives up above this
constexpr uint32_t kInVoiceSeconds = 20;  // "IN VOICE" falls back to "DIALING" above this
constexpr uint32_t kTypingIntervalMs = 2000;

struct CallActions {
  std::array<uint32_t, 2> sends{};  // codes to send, in this order
  uint32_t send_count = 0;
  bool resend_chat = false;     // resend the unacknowledged chat messages (before the codes)
  bool state_changed = false;   // post state-changed
  bool incoming_call = false;   // post incoming call
  bool typing = false;          // post typing

  void Send(uint32_t code) { sends[send_count++] = code; }
};

// State < 5: "DIALING", send code 5.
CallActions DialPeer(CallChannel& channel);
// State >= 5: "IDLE", send code 6.
CallActions HangUp(CallChannel& channel);
// "ABORT", send code 6 (the ring window's Cancel).
CallActions RefuseCall(CallChannel& channel);
// "IN VOICE" (the ring window's OK); code 7 goes with the next tick.
CallActions AnswerCall(CallChannel& channel);
// The one-second tick.
CallActions CallTick(CallChannel& channel);
// The receive table of codes 1, 2, 5, 6, 7, 9 and 10.
CallActions ReceiveCallCode(CallChannel& channel, uint32_t code);
// SendTypingNotice's check: true (and the time noted) when more than 2000
// ms passed since the last notice, or none was sent yet.
bool TypingNoticeDue(CallChannel& channel, uint32_t now_ms, bool& sent_before);

}  // namespace orv
