// The voice engines of a node: one sound system (PortAudio or WAV files),
// the devices chosen for it, and a voice engine for every conversation that
// asks. Built from options that orvd takes from its command line:
//   backend "wav": capture_file (16 kHz mono WAV; none: silence), looping or
//                  not, playback_file (none: discarded), an optional echo
//                  path from the speaker into the microphone;
//   backend "pa":  PortAudio, microphone and speaker by name ("default").
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/device_selection.hpp"
#include "audio/tone_player.hpp"
#include "audio/pace_clock.hpp"
#include "audio/voice_engine.hpp"
#include "chat/call_voice.hpp"
#include "settings/settings.hpp"

namespace orv {

struct VoiceOptions {
  std::string backend = "wav";  // "wav" or "pa"
  std::string capture_file;
  bool capture_loop = false;
  std::string playback_file;
  uint32_t echo_delay_ms = 0;   // echo path of the WAV backend; off while echo_gain is 0
  double echo_gain = 0.0;
  std::string microphone = "default";
  std::string speaker = "default";
  bool automatic_gain = true;   // the `AGC` setting for new conversations
  bool echo_canceller = true;   // off only to measure the canceller
  std::shared_ptr<PaceClock> clock;  // WAV backend only; null: real time
};

class AudioVoiceProvider : public VoiceProvider {
 public:
  AudioVoiceProvider(std::shared_ptr<AudioBackend> backend, const VoiceOptions& options);
  ~AudioVoiceProvider() override;

  std::unique_ptr<CallVoice> CreateCallVoice(CallChannel& channel, PayloadSender& sender,
                                             VoiceLevels& levels) override;

  // Chooses the devices named by the settings and takes their levels; every
  // running voice engine reopens its devices once.
  AudioDeviceSelection SelectAudioDevices(const Settings& settings);
  // The automatic gain switch: the first open conversation follows it at
  // once, conversations opened later start with it.
  void SetAutomaticGain(bool on);
  // The settings dialog's "AGC" box: only the first open conversation
  // follows it (the setting itself changes with the dialog's OK).
  void SetFirstCallAutomaticGain(bool on);

  // Plays a built-in tone ("waveDial", "waveRing", "waveTest") on the chosen
  // speaker at `ring_volume` until the returned player goes.
  std::unique_ptr<TonePlayer> StartTone(const std::string& name, uint16_t ring_volume);

  AudioBackend& backend() { return *backend_; }
  const std::shared_ptr<AudioBackend>& shared_backend() const { return backend_; }
  AudioDeviceSelection selection() const;

  // Shared with the engines it made, which may outlive it.
  struct Registry;

 private:
  std::shared_ptr<AudioBackend> backend_;
  std::shared_ptr<AudioDeviceChoice> devices_;
  std::shared_ptr<Registry> registry_;
  VoiceCodecOptions codec_options_;
};

// The provider for `options`; nothing (and `error` set) when the backend
// name is unknown or a capture file cannot be read.
std::unique_ptr<AudioVoiceProvider> CreateVoiceProvider(const VoiceOptions& options, std::string& error);

}  // namespace orv
