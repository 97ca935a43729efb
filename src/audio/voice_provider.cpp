#include "audio/voice_provider.hpp"

#include <algorithm>

#include "audio/portaudio_backend.hpp"
#include "audio/wav_backend.hpp"

namespace orv {

struct AudioVoiceProvider::Registry {
  std::mutex mutex;  // guards everything below
  std::vector<VoiceEngine*> engines;  // in the order their conversations opened
  bool automatic_gain = true;
  AudioDeviceSelection selection;
};

namespace {

using Registry = AudioVoiceProvider::Registry;

// A voice engine that leaves the provider's list when its conversation ends.
class RegisteredCallVoice : public CallVoice {
 public:
  RegisteredCallVoice(std::unique_ptr<VoiceEngine> engine, std::shared_ptr<Registry> registry)
      : engine_(std::move(engine)), registry_(std::move(registry)) {
    std::lock_guard<std::mutex> hold(registry_->mutex);
    engine_->SetAutomaticGain(registry_->automatic_gain);
    registry_->engines.push_back(engine_.get());
  }
  ~RegisteredCallVoice() override {
    std::lock_guard<std::mutex> hold(registry_->mutex);
    std::erase(registry_->engines, engine_.get());
  }

  void StartVoice() override { engine_->StartVoice(); }
  void StopVoice() override { engine_->StopVoice(); }
  bool VoiceRunning() const override { return engine_->VoiceRunning(); }
  void QueueVoiceFrame(const uint8_t* data, size_t length) override { engine_->QueueVoiceFrame(data, length); }

 private:
  std::unique_ptr<VoiceEngine> engine_;
  std::shared_ptr<Registry> registry_;
};

}  // namespace

AudioVoiceProvider::AudioVoiceProvider(std::shared_ptr<AudioBackend> backend, const VoiceOptions& options)
    : backend_(std::move(backend)), devices_(std::make_shared<AudioDeviceChoice>()),
      registry_(std::make_shared<Registry>()) {
  codec_options_.echo_canceller = options.echo_canceller;
  registry_->automatic_gain = options.automatic_gain;
  Settings named;
  named.Microphone = options.microphone;
  named.Speaker = options.speaker;
  SelectAudioDevices(named);
}

AudioVoiceProvider::~AudioVoiceProvider() = default;

std::unique_ptr<CallVoice> AudioVoiceProvider::CreateCallVoice(CallChannel& channel, PayloadSender& sender,
                                                               VoiceLevels& levels) {
  auto engine = VoiceEngine::Create(channel, sender, levels, backend_, devices_, codec_options_);
  if (!engine) return nullptr;
  return std::make_unique<RegisteredCallVoice>(std::move(engine), registry_);
}

AudioDeviceSelection AudioVoiceProvider::SelectAudioDevices(const Settings& settings) {
  const AudioDeviceSelection selection = orv::SelectAudioDevices(*backend_, settings);
  devices_->input.store(selection.input_device);
  devices_->output.store(selection.output_device);
  std::lock_guard<std::mutex> hold(registry_->mutex);
  registry_->selection = selection;
  for (VoiceEngine* engine : registry_->engines) engine->DevicesChanged();
  return selection;
}

void AudioVoiceProvider::SetAutomaticGain(bool on) {
  std::lock_guard<std::mutex> hold(registry_->mutex);
  registry_->automatic_gain = on;
  if (!registry_->engines.empty()) registry_->engines.front()->SetAutomaticGain(on);
}

void AudioVoiceProvider::SetFirstCallAutomaticGain(bool on) {
  std::lock_guard<std::mutex> hold(registry_->mutex);
  if (!registry_->engines.empty()) registry_->engines.front()->SetAutomaticGain(on);
}

std::unique_ptr<TonePlayer> AudioVoiceProvider::StartTone(const std::string& name, uint16_t ring_volume) {
  return std::make_unique<TonePlayer>(backend_, devices_->output.load(), name, ring_volume);
}

AudioDeviceSelection AudioVoiceProvider::selection() const {
  std::lock_guard<std::mutex> hold(registry_->mutex);
  return registry_->selection;
}

std::unique_ptr<AudioVoiceProvider> CreateVoiceProvider(const VoiceOptions& options, std::string& error) {
  std::shared_ptr<AudioBackend> backend;
  if (options.backend == "pa") {
    backend = std::make_shared<PortAudioBackend>();
  } else if (options.backend == "wav") {
    WavBackendOptions wav;
    wav.capture_file = options.capture_file;
    wav.capture_loop = options.capture_loop;
    wav.playback_file = options.playback_file;
    wav.echo_delay_ms = options.echo_delay_ms;
    wav.echo_gain = options.echo_gain;
    wav.clock = options.clock;
    backend = WavAudioBackend::Create(std::move(wav), error);
    if (!backend) return nullptr;
  } else {
    error = "unknown audio backend " + options.backend + " (wav or pa)";
    return nullptr;
  }
  return std::make_unique<AudioVoiceProvider>(std::move(backend), options);
}

}  // namespace orv
