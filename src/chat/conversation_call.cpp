// A conversation's calls: the call button and the ring window, the call
// state reaching the window and the voice engine, and the one-second tick
// with the status bar.
#include <mutex>

#include "chat/conversation.hpp"
#include "chat/status_text.hpp"
#include "identity/utf16.hpp"

namespace orv {
namespace {

MuteButton MuteIcon(uint32_t state, bool muted) {
  if (state != kCallInVoice) return MuteButton::kUnavailable;
  return muted ? MuteButton::kMuted : MuteButton::kLive;
}

}  // namespace

// ---- call control (interface thread) ----

void Conversation::DialPeer() { Perform(::orv::DialPeer(*channel_)); }
void Conversation::HangUp() { Perform(::orv::HangUp(*channel_)); }
void Conversation::RefuseCall() { Perform(::orv::RefuseCall(*channel_)); }
void Conversation::AnswerCall() { Perform(::orv::AnswerCall(*channel_)); }

void Conversation::PressCallButton() {
  if (closed()) return;
  CloseRing();
  if (call_state() > kCallConnected) {
    HangUp();
  } else {
    DialPeer();
    OpenRing(call_state() == kCallDialing);
  }
  CallStateChanged();
}

void Conversation::AnswerRing() {
  if (closed() || !ring_.open()) return;
  AnswerCall();
  CloseRing();
}

void Conversation::RefuseRing() {
  if (closed() || !ring_.open()) return;
  RefuseCall();
  CloseRing();
}

void Conversation::DismissRing() { CloseRing(); }

void Conversation::SendTypingNotice() {
  if (closed()) return;
  if (TypingNoticeDue(*channel_, context_.clock_ms(), typing_sent_)) SendCode(kCodeTyping);
}

void Conversation::ToggleMute() {
  levels_.mute.store(!levels_.mute.load());
  RefreshStatus();
}

void Conversation::CallStateChanged() {
  const uint32_t state = call_state();
  {
    std::shared_lock<std::shared_mutex> guard(voice_lock_);
    if (state < kCallDialing && voice_ && voice_->VoiceRunning()) voice_->StopVoice();
    if (state == kCallInVoice && !(voice_ && voice_->VoiceRunning())) {
      if (voice_) voice_->StartVoice();
      guard.unlock();
      CloseRing();
    }
  }
  if (state == kCallIdle) CloseRing();
  if (state != shown_state_) {
    shown_state_ = state;
    context_.events->OnCallState(id_, state, CallStateName(state));
  }
  RefreshStatus();
}

void Conversation::ShowIncomingCall() {
  // The request crossed our own call and the two have met (or are about
  // to): nothing rings.
  if (call_state() >= kCallDialing) return;
  // The hidden dial tone of a call out that has ended gives way to the ring.
  if (ring_.open() && ring_.tone() == Tone::kDial) CloseRing();
  if (ring_.open()) ring_.RestartCount();
  else OpenRing(false);
}

void Conversation::ShowTyping() {
  typing_sign_.assign(1, '*');
  context_.events->OnPeerTyping(id_);
  RefreshStatus();
}

void Conversation::TakeIdentity(const PeerRef& sender) {
  CopyUserId(user_id_, sender.user_id);
  context_.events->OnIdentityAdopted(id_, peer());
  if (log_wanted_ && !log_.writable()) OpenLog(false);
  RefreshStatus();
}

void Conversation::OpenRing(bool dialing) {
  if (!ring_.Open(dialing)) return;
  const std::string text = PeerDisplayName(user_id_) + " is calling\nAnswer call?";
  context_.events->OnRingOpened(id_, ring_.shown(), text);
  context_.events->OnToneStarted(id_, ring_.tone());
}

void Conversation::CloseRing() {
  if (!ring_.Close()) return;
  context_.events->OnToneStopped(id_);
  context_.events->OnRingClosed(id_);
}

// ---- the one-second tick (interface thread) ----

void Conversation::Tick() {
  if (closed()) return;
  Perform(CallTick(*channel_));
  if (ring_.Tick(call_state())) {
    context_.events->OnToneStopped(id_);
    context_.events->OnRingClosed(id_);
  }
  typing_sign_ = NextTypingSign(typing_sign_);
  RefreshStatus();
}

std::string Conversation::PeerDisplayName(const uint32_t* user_id) {
  return Utf16ToUtf8(context_.network->PeerName(user_id));
}

void Conversation::ConnectFailed(const std::string& reason) {
  connect_failure_ = reason;
  RefreshStatus();
}

void Conversation::RefreshStatus() {
  ConversationNetwork& network = *context_.network;
  const uint32_t state = call_state();
  StatusBar status;
  status.call_state = std::string(CallStateName(state));
  status.typing = typing_sign_;
  uint32_t digest[kUserIdWords] = {};
  if (network.SessionId(user_id_, digest)) {
    status.session = SessionIdText(digest);
    connect_failure_.clear();
  } else {
    status.session = connect_failure_.empty() ? "Not connected" : "Not connected: " + connect_failure_;
  }
  status.counters = PeerCountersText(network.PeerCounters(user_id_).value_or(PeerStatus{}));
  status.mute = MuteIcon(state, levels_.mute.load());
  if (!(status == status_)) {
    status_ = status;
    context_.events->OnStatus(id_, status_);
  }
  std::optional<std::string> contact;
  if (context_.contacts && !IsZeroUserId(user_id_)) contact = context_.contacts->ContactName(user_id_);
  std::string title = TitleText(contact ? *contact : PeerDisplayName(user_id_), network.PeerPresence(user_id_));
  if (title != title_) {
    title_ = std::move(title);
    context_.events->OnTitle(id_, title_);
  }
}

}  // namespace orv
