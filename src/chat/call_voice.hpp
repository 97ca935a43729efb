// Where a conversation meets the voice engine. The conversation owns one
// CallVoice, made by the VoiceProvider the application installs: its call
// state changes start and stop the voice thread, and voice frames from the
// peer (code 8) are handed to it from the receive thread. Without a
// provider a conversation runs its calls silently.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace orv {

class PayloadSender;
struct CallChannel;

// The levels of one conversation: the chat window's "Vol." and "Mic."
// sliders and its mute button. Read by the voice thread while it runs.
struct VoiceLevels {
  std::atomic<int32_t> volume{66};     // speaker volume 0..100
  std::atomic<int32_t> mic_level{66};  // microphone level 0..100
  std::atomic<bool> mute{false};       // send encoded silence instead of the microphone
};

class CallVoice {
 public:
  virtual ~CallVoice() = default;  // stops and joins the voice thread
  // The call reached "IN VOICE" without a running voice thread: start it.
  virtual void StartVoice() = 0;
  // The call state fell below "DIALING": tell the voice thread to stop,
  // without waiting for it.
  virtual void StopVoice() = 0;
  virtual bool VoiceRunning() const = 0;
  // Code 8 from the peer, on the receive thread: `data` starts with the
  // code word, the Speex frame follows; `length` bytes in all.
  virtual void QueueVoiceFrame(const uint8_t* data, size_t length) = 0;
};

class VoiceProvider {
 public:
  virtual ~VoiceProvider() = default;
  // A voice engine for one conversation. `channel`, `sender` and `levels`
  // outlive the returned object.
  virtual std::unique_ptr<CallVoice> CreateCallVoice(CallChannel& channel, PayloadSender& sender,
                                                     VoiceLevels& levels) = 0;
};

}  // namespace orv
