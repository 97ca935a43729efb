// The voice engine of one conversation: its codec lives as long as the
// conversation, its voice thread runs while the call is in voice. Every
// 20 ms the thread takes a microphone block, cancels the echo, cleans and
// encodes it and sends it as code 8; in the same step it decodes the next
// queued frame (or conceals a missing one) into the next speaker block.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/audio_device.hpp"
#include "audio/voice_codec.hpp"
#include "chat/call_voice.hpp"
#include "net/call_channel.hpp"
#include "net/payload_sender.hpp"

namespace orv {

// The devices a node has chosen (kDefaultAudioDevice = the system default),
// read by every voice thread when it opens its devices.
struct AudioDeviceChoice {
  std::atomic<uint32_t> input{kDefaultAudioDevice};
  std::atomic<uint32_t> output{kDefaultAudioDevice};
};

// What a voice thread did, for tests and diagnostics.
struct VoiceStats {
  std::atomic<uint64_t> steps{0};
  std::atomic<uint64_t> frames_sent{0};
  std::atomic<uint64_t> frames_played{0};  // decoded from a received frame, not concealed
  std::atomic<uint64_t> reopens{0};
};

class VoiceEngine final : public CallVoice {
 public:
  // Fails (null) only when the codec cannot be made.
  static std::unique_ptr<VoiceEngine> Create(CallChannel& channel, PayloadSender& sender, VoiceLevels& levels,
                                             std::shared_ptr<AudioBackend> backend,
                                             std::shared_ptr<const AudioDeviceChoice> devices,
                                             const VoiceCodecOptions& codec_options = {});
  ~VoiceEngine() override;

  void StartVoice() override;
  void StopVoice() override;
  bool VoiceRunning() const override;
  void QueueVoiceFrame(const uint8_t* data, size_t length) override;

  // The devices changed: the thread reopens both at its next pass.
  void DevicesChanged() { reopen_.store(true); }
  void SetAutomaticGain(bool on) { orv::SetAutomaticGain(*codec_, on); }
  const VoiceStats& stats() const { return stats_; }

 private:
  VoiceEngine(CallChannel& channel, PayloadSender& sender, VoiceLevels& levels, std::shared_ptr<AudioBackend> backend,
              std::shared_ptr<const AudioDeviceChoice> devices, std::unique_ptr<VoiceCodec> codec);

  void VoiceThread(std::stop_token stop);
  void Reopen();
  void ApplyLevels();
  // One 20 ms step; false when the call fell below "DIALING".
  bool Step();
  void SendFrame(const uint8_t* frame, size_t length);
  void CloseDevices();

  CallChannel& channel_;
  PayloadSender& sender_;
  VoiceLevels& levels_;
  std::shared_ptr<AudioBackend> backend_;
  std::shared_ptr<const AudioDeviceChoice> devices_;
  std::unique_ptr<VoiceCodec> codec_;
  VoiceStats stats_;

  // Voice thread only.
  std::unique_ptr<AudioCapture> capture_;
  std::unique_ptr<AudioPlayback> playback_;
  std::vector<uint8_t> frame_;  // the received frame being decoded
  int32_t applied_volume_ = -1;
  int32_t applied_mic_level_ = -1;

  std::atomic<bool> reopen_{false};
  std::atomic<bool> thread_done_{true};
  mutable std::mutex thread_mutex_;  // guards thread_
  std::jthread thread_;
};

}  // namespace orv
