#include "audio/audio_device.hpp"

#include <algorithm>
#include <cstring>

namespace orv {
namespace {

int16_t ApplyGain(int16_t sample, uint16_t word) {
  return static_cast<int16_t>(static_cast<int32_t>(sample) * static_cast<int32_t>(word) / 0xFFFF);
}

void CopyWithGain(int16_t* out, const int16_t* in, size_t count, uint16_t word) {
  if (word == 0xFFFF) {
    std::memcpy(out, in, count * sizeof(int16_t));
    return;
  }
  for (size_t i = 0; i < count; ++i) out[i] = ApplyGain(in[i], word);
}

}  // namespace

uint16_t LevelToDeviceWord(uint16_t level) {
  if (level >= 100) return 0xFFFF;
  return static_cast<uint16_t>(static_cast<uint32_t>(level) * 0xFFFF / 100);
}

AudioCapture::AudioCapture() : ring_(kBlockFrames) {}

AudioCapture::~AudioCapture() { stream_.reset(); }

bool AudioCapture::DeliverBlock(const int16_t* samples) {
  const uint16_t word = gain_.load();
  recorded_.fetch_add(1);
  return ring_.FinishQueued([&](int16_t* block) { CopyWithGain(block, samples, kBlockFrames, word); });
}

AudioPlayback::AudioPlayback(uint16_t channels, uint32_t rate)
    : channels_(std::max<uint16_t>(channels, 1)), rate_(rate), ring_(kBlockFrames * channels_) {}

AudioPlayback::~AudioPlayback() { stream_.reset(); }

bool AudioPlayback::ConsumeBlock(int16_t* out) {
  const uint16_t word = volume_.load();
  const size_t count = ring_.block_samples();
  played_.fetch_add(1);
  if (ring_.FinishQueued([&](int16_t* block) { CopyWithGain(out, block, count, word); })) return true;
  std::memset(out, 0, count * sizeof(int16_t));
  return false;
}

void SetPlaybackVolume(AudioPlayback* playback, uint16_t level) {
  if (playback) playback->SetVolumeWord(LevelToDeviceWord(level));
}

void SetMicrophoneLevel(AudioCapture* capture, uint16_t level) {
  if (capture) capture->SetGainWord(LevelToDeviceWord(level));
}

}  // namespace orv
