#include "chat/call_control.hpp"

#include <mutex>

namespace orv {
namespace {

// The call state has two writers: the interface thread (buttons, the chat
// input, the tick) and the receive thread (the peer's codes). Every read
// that decides a transition and the write that makes it happen together
// under the channel lock, so neither writer acts on a state the other has
// already left; the state stays an atomic so that the status bar and the
// voice engine may read it without the lock. Nothing is sent or posted
// while the lock is held: the caller does that with the returned actions.
using Guard = std::lock_guard<std::mutex>;

uint32_t State(const CallChannel& channel) { return channel.call_state.load(); }

void SetState(CallChannel& channel, uint32_t state, CallActions& actions) {
  channel.call_state.store(state);
  actions.state_changed = true;
}

void EnterVoice(CallChannel& channel, CallActions& actions) {
  SetState(channel, kCallInVoice, actions);
  channel.playing.store(false);
}

// Silence counter + 1, and true when it went above `limit`.
bool SilentLongerThan(CallChannel& channel, uint32_t limit) { return channel.silence_counter.fetch_add(1) + 1 > limit; }

void ReceiveConnect(CallChannel& channel, CallActions& actions) {
  actions.Send(kCodeConnectReply);
  // Our own numbering goes on: the texts still waiting keep their numbers,
  // and a receiver that restarted takes any number above its last as new.
  if (State(channel) == kCallConnected) return;
  SetState(channel, kCallConnected, actions);
}

void ReceiveCallRequest(CallChannel& channel, CallActions& actions) {
  switch (State(channel)) {
    case kCallIdle:
      channel.call_state.store(kCallConnected);
      actions.state_changed = true;
      actions.incoming_call = true;
      break;
    case kCallRejected:
    case kCallConnection:
    case kCallConnected:
      actions.incoming_call = true;
      break;
    case kCallAbort:
      actions.Send(kCodeHangUp);
      break;
    case kCallDialing:
      EnterVoice(channel, actions);
      actions.Send(kCodeInVoice);
      break;
    default:
      actions.Send(kCodeInVoice);
      break;
  }
}

void ReceiveInVoice(CallChannel& channel, CallActions& actions) {
  const uint32_t state = State(channel);
  if (state == kCallDialing) EnterVoice(channel, actions);
  else if (state < kCallDialing) actions.Send(kCodeHangUp);
}

}  // namespace

std::string_view CallStateName(uint32_t state) {
  static constexpr std::string_view kNames[] = {"IDLE",      "REJECTED", "CONNECTION", "ABORT",
                                                "CONNECTED", "DIALING",  "IN VOICE"};
  return state < std::size(kNames) ? kNames[state] : std::string_view();
}

CallActions DialPeer(CallChannel& channel) {
  CallActions actions;
  Guard guard(channel.lock);
  if (State(channel) >= kCallDialing) return actions;
  channel.silence_counter.store(0);
  SetState(channel, kCallDialing, actions);
  actions.Send(kCodeCallRequest);
  return actions;
}

CallActions HangUp(CallChannel& channel) {
  CallActions actions;
  Guard guard(channel.lock);
  if (State(channel) < kCallDialing) return actions;
  SetState(channel, kCallIdle, actions);
  actions.Send(kCodeHangUp);
  return actions;
}

CallActions RefuseCall(CallChannel& channel) {
  CallActions actions;
  Guard guard(channel.lock);
  channel.silence_counter.store(0);
  SetState(channel, kCallAbort, actions);
  actions.Send(kCodeHangUp);
  return actions;
}

CallActions AnswerCall(CallChannel& channel) {
  CallActions actions;
  Guard guard(channel.lock);
  EnterVoice(channel, actions);
  channel.silence_counter.store(0);
  return actions;
}

CallActions CallTick(CallChannel& channel) {
  CallActions actions;
  Guard guard(channel.lock);
  const uint32_t state = State(channel);
  if (state == kCallConnection) actions.Send(kCodeConnect);
  if (state <= kCallRejected) channel.silence_counter.store(0);
  if (state >= kCallAbort) actions.resend_chat = !channel.pending.empty();
  if (state == kCallAbort && SilentLongerThan(channel, kAbortSeconds)) SetState(channel, kCallIdle, actions);
  if (state == kCallDialing) {
    const bool give_up = SilentLongerThan(channel, kDialingSeconds);
    actions.Send(kCodeCallRequest);
    if (give_up) SetState(channel, kCallIdle, actions);
  }
  if (state == kCallInVoice) {
    const bool fall_back = SilentLongerThan(channel, kInVoiceSeconds);
    actions.Send(kCodeInVoice);
    if (fall_back) SetState(channel, kCallDialing, actions);
  }
  return actions;
}

CallActions ReceiveCallCode(CallChannel& channel, uint32_t code) {
  CallActions actions;
  Guard guard(channel.lock);
  switch (code) {
    case kCodeConnect:
      ReceiveConnect(channel, actions);
      break;
    case kCodeConnectReply:
      if (State(channel) < kCallConnected) SetState(channel, kCallConnected, actions);
      break;
    case kCodeCallRequest:
      ReceiveCallRequest(channel, actions);
      break;
    case kCodeHangUp:
      SetState(channel, kCallIdle, actions);
      break;
    case kCodeInVoice:
      ReceiveInVoice(channel, actions);
      break;
    case kCodeTyping:
      actions.typing = true;
      break;
    case kCodeNotAllowed:
      SetState(channel, kCallRejected, actions);
      break;
    default:
      break;
  }
  return actions;
}

bool TypingNoticeDue(CallChannel& channel, uint32_t now_ms, bool& sent_before) {
  Guard guard(channel.lock);
  if (sent_before && now_ms - channel.last_typing_tick <= kTypingIntervalMs) return false;
  channel.last_typing_tick = now_ms;
  sent_before = true;
  return true;
}

}  // namespace orv
