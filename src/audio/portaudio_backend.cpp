#include "audio/portaudio_backend.hpp"

#include <portaudio.h>

#include "app/event_log.hpp"

namespace orv {
namespace {

int CaptureCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                    PaStreamCallbackFlags, void* user) {
  if (input && frames == kBlockFrames) static_cast<AudioCapture*>(user)->DeliverBlock(static_cast<const int16_t*>(input));
  return paContinue;
}

int PlaybackCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                     PaStreamCallbackFlags, void* user) {
  auto* playback = static_cast<AudioPlayback*>(user);
  if (output && frames == kBlockFrames) playback->ConsumeBlock(static_cast<int16_t*>(output));
  return paContinue;
}

class PortAudioStream : public AudioStream {
 public:
  explicit PortAudioStream(PaStream* stream) : stream_(stream) {}
  ~PortAudioStream() override {
    Pa_StopStream(stream_);
    Pa_CloseStream(stream_);
  }

 private:
  PaStream* stream_;
};

// Opens and starts a stream; null (logged) on failure.
PaStream* StartStream(const PaStreamParameters* in, const PaStreamParameters* out, double rate,
                      PaStreamCallback* callback, void* user) {
  PaStream* stream = nullptr;
  PaError err = Pa_OpenStream(&stream, in, out, rate, kBlockFrames, paClipOff, callback, user);
  if (err == paNoError) {
    err = Pa_StartStream(stream);
    if (err == paNoError) return stream;
    Pa_CloseStream(stream);
  }
  LogEvent("Audio", std::string("cannot open the sound device: ") + Pa_GetErrorText(err));
  return nullptr;
}

PaDeviceIndex Resolve(uint32_t device, bool input) {
  if (device == kDefaultAudioDevice) return input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
  if (device >= static_cast<uint32_t>(Pa_GetDeviceCount())) return paNoDevice;
  return static_cast<PaDeviceIndex>(device);
}

bool CanDo(const PaDeviceInfo* info, bool input) {
  return info && (input ? info->maxInputChannels : info->maxOutputChannels) > 0;
}

uint32_t FindByName(std::string_view name, bool input) {
  if (name == "default") return kDefaultAudioDevice;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (CanDo(info, input) && name == info->name) return static_cast<uint32_t>(i);
  }
  return kDefaultAudioDevice;
}

std::vector<std::string> Names(bool input) {
  std::vector<std::string> names;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  for (PaDeviceIndex i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (CanDo(info, input)) names.emplace_back(info->name);
  }
  return names;
}

PaStreamParameters Parameters(PaDeviceIndex index, int channels, bool input) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
  PaStreamParameters p{};
  p.device = index;
  p.channelCount = channels;
  p.sampleFormat = paInt16;
  p.suggestedLatency = info ? (input ? info->defaultHighInputLatency : info->defaultHighOutputLatency) : 0.1;
  return p;
}

}  // namespace

PortAudioBackend::PortAudioBackend() {
  const PaError err = Pa_Initialize();
  initialized_ = err == paNoError;
  if (!initialized_) LogEvent("Audio", std::string("cannot start PortAudio: ") + Pa_GetErrorText(err));
}

PortAudioBackend::~PortAudioBackend() {
  if (initialized_) Pa_Terminate();
}

std::unique_ptr<AudioCapture> PortAudioBackend::OpenCapture(uint32_t device) {
  auto capture = std::make_unique<AudioCapture>();
  if (!initialized_) return capture;
  const PaDeviceIndex index = Resolve(device, true);
  if (!CanDo(Pa_GetDeviceInfo(index), true)) {
    LogEvent("Audio", "no microphone to open");
    return capture;
  }
  const PaStreamParameters in = Parameters(index, 1, true);
  if (PaStream* stream = StartStream(&in, nullptr, kCaptureRate, CaptureCallback, capture.get()))
    capture->AttachStream(std::make_unique<PortAudioStream>(stream));
  return capture;
}

std::unique_ptr<AudioPlayback> PortAudioBackend::OpenPlayback(uint32_t device, uint16_t channels, uint32_t rate) {
  auto playback = std::make_unique<AudioPlayback>(channels, rate);
  if (!initialized_) return playback;
  const PaDeviceIndex index = Resolve(device, false);
  if (!CanDo(Pa_GetDeviceInfo(index), false)) {
    LogEvent("Audio", "no speaker to open");
    return playback;
  }
  const PaStreamParameters out = Parameters(index, playback->channels(), false);
  if (PaStream* stream = StartStream(nullptr, &out, rate, PlaybackCallback, playback.get()))
    playback->AttachStream(std::make_unique<PortAudioStream>(stream));
  return playback;
}

uint32_t PortAudioBackend::FindCaptureDevice(std::string_view name) {
  return initialized_ ? FindByName(name, true) : kDefaultAudioDevice;
}

uint32_t PortAudioBackend::FindPlaybackDevice(std::string_view name) {
  return initialized_ ? FindByName(name, false) : kDefaultAudioDevice;
}

std::vector<std::string> PortAudioBackend::CaptureDeviceNames() const {
  return initialized_ ? Names(true) : std::vector<std::string>{};
}

std::vector<std::string> PortAudioBackend::PlaybackDeviceNames() const {
  return initialized_ ? Names(false) : std::vector<std::string>{};
}

}  // namespace orv
