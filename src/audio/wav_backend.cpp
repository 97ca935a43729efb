#include "audio/wav_backend.hpp"

#include "app/event_log.hpp"

namespace orv {

struct WavAudioBackend::State {
  WavBackendOptions options;
  std::vector<int16_t> capture_samples;
  std::unique_ptr<EchoPath> echo;
  std::mutex mutex;  // guards everything below
  size_t capture_position = 0;
  WaveFileWriter writer;
  bool writer_chosen = false;  // the first playback format owns the file
  uint16_t writer_channels = 0;
  uint32_t writer_rate = 0;
  std::optional<int64_t> capture_started;
  std::optional<int64_t> playback_started;
  std::unique_ptr<DeviceClock> clock;  // last: stops ticking before the rest goes

  void ReadMicrophone(int16_t* block) {
    std::lock_guard<std::mutex> hold(mutex);
    for (size_t i = 0; i < kBlockFrames; ++i) {
      if (capture_position >= capture_samples.size() && options.capture_loop) capture_position = 0;
      block[i] = capture_position < capture_samples.size() ? capture_samples[capture_position++] : 0;
    }
  }

  void WriteSpeaker(const int16_t* samples, size_t count, uint16_t channels, uint32_t rate) {
    std::lock_guard<std::mutex> hold(mutex);
    if (writer.is_open() && channels == writer_channels && rate == writer_rate) writer.Write(samples, count);
  }
};

namespace {

using State = WavAudioBackend::State;

class WavCaptureStream : public AudioStream, public ClockedDevice {
 public:
  WavCaptureStream(std::shared_ptr<State> state, AudioCapture& capture) : state_(std::move(state)), capture_(capture) {
    const int64_t start = state_->clock->Attach(this, false, kBlockFrames, kCaptureRate);
    std::lock_guard<std::mutex> hold(state_->mutex);
    if (!state_->capture_started) state_->capture_started = start;
  }
  ~WavCaptureStream() override { state_->clock->Detach(this); }

  void Tick() override {
    state_->ReadMicrophone(block_);
    if (state_->echo) state_->echo->AddEcho(block_, kBlockFrames);
    capture_.DeliverBlock(block_);
  }

 private:
  std::shared_ptr<State> state_;
  AudioCapture& capture_;
  int16_t block_[kBlockFrames] = {};
};

class WavPlaybackStream : public AudioStream, public ClockedDevice {
 public:
  WavPlaybackStream(std::shared_ptr<State> state, AudioPlayback& playback)
      : state_(std::move(state)), playback_(playback), block_(playback.block_samples(), 0) {
    const int64_t start = state_->clock->Attach(this, true, kBlockFrames, playback.rate());
    std::lock_guard<std::mutex> hold(state_->mutex);
    if (!state_->writer_chosen) {
      state_->writer_chosen = true;
      state_->writer_channels = playback.channels();
      state_->writer_rate = playback.rate();
      state_->playback_started = start;
      if (!state_->options.playback_file.empty() &&
          !state_->writer.Open(state_->options.playback_file, playback.channels(), playback.rate()))
        LogEvent("Audio", "cannot write " + state_->options.playback_file);
    }
  }
  ~WavPlaybackStream() override { state_->clock->Detach(this); }

  void Tick() override {
    playback_.ConsumeBlock(block_.data());
    state_->WriteSpeaker(block_.data(), block_.size(), playback_.channels(), playback_.rate());
    if (state_->echo && playback_.channels() == 1 && playback_.rate() == kCaptureRate)
      state_->echo->Played(block_.data(), block_.size());
  }

 private:
  std::shared_ptr<State> state_;
  AudioPlayback& playback_;
  std::vector<int16_t> block_;
};

}  // namespace

std::unique_ptr<WavAudioBackend> WavAudioBackend::Create(WavBackendOptions options, std::string& error) {
  auto state = std::make_shared<State>();
  if (!options.capture_file.empty()) {
    auto samples = ReadMonoWave16k(options.capture_file, error);
    if (!samples) return nullptr;
    state->capture_samples = std::move(*samples);
  }
  if (options.echo_gain > 0.0)
    state->echo = std::make_unique<EchoPath>(options.echo_delay_ms * (kCaptureRate / 1000), options.echo_gain);
  if (!options.clock) options.clock = std::make_shared<SteadyPaceClock>();
  state->clock = std::make_unique<DeviceClock>(options.clock);
  state->options = std::move(options);
  return std::unique_ptr<WavAudioBackend>(new WavAudioBackend(std::move(state)));
}

WavAudioBackend::~WavAudioBackend() = default;

std::unique_ptr<AudioCapture> WavAudioBackend::OpenCapture(uint32_t) {
  auto capture = std::make_unique<AudioCapture>();
  capture->AttachStream(std::make_unique<WavCaptureStream>(state_, *capture));
  return capture;
}

std::unique_ptr<AudioPlayback> WavAudioBackend::OpenPlayback(uint32_t, uint16_t channels, uint32_t rate) {
  auto playback = std::make_unique<AudioPlayback>(channels, rate);
  playback->AttachStream(std::make_unique<WavPlaybackStream>(state_, *playback));
  return playback;
}

// A WAV backend has one microphone and one speaker.
uint32_t WavAudioBackend::FindCaptureDevice(std::string_view) { return kDefaultAudioDevice; }
uint32_t WavAudioBackend::FindPlaybackDevice(std::string_view) { return kDefaultAudioDevice; }

std::optional<int64_t> WavAudioBackend::capture_started() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->capture_started;
}

std::optional<int64_t> WavAudioBackend::playback_started() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->playback_started;
}

void WavAudioBackend::FinishPlaybackFile() {
  std::lock_guard<std::mutex> hold(state_->mutex);
  state_->writer.Close();
}

}  // namespace orv
