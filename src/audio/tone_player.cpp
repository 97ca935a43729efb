#include "audio/tone_player.hpp"

#include <algorithm>
#include <chrono>

#include "audio/wave_format.hpp"

namespace orv {
namespace {

constexpr auto kToneWait = std::chrono::milliseconds(100);

// Fills `block` with the next samples of the tone from `position` (bytes),
// silence after the last ones; the tone starts again once it is used up.
void FillBlock(const WaveData& wave, size_t& position, int16_t* block, size_t block_samples) {
  const size_t available = (wave.size - position) / 2;
  const size_t count = std::min(available, block_samples);
  const uint8_t* p = wave.data + position;
  for (size_t i = 0; i < count; ++i) block[i] = static_cast<int16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  std::fill(block + count, block + block_samples, int16_t{0});
  position += count * 2;
  if (wave.size - position < 2) position = 0;
}

// The tone once: fills `block` from `position` on and says whether any of
// the tone was left for it.
bool FillOnce(const WaveData& wave, size_t& position, int16_t* block, size_t block_samples) {
  if (wave.size - position < 2) {
    std::fill(block, block + block_samples, int16_t{0});
    return false;
  }
  const size_t count = std::min((wave.size - position) / 2, block_samples);
  const uint8_t* p = wave.data + position;
  for (size_t i = 0; i < count; ++i) block[i] = static_cast<int16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  std::fill(block + count, block + block_samples, int16_t{0});
  position += count * 2;
  return true;
}

}  // namespace

bool PlayToneOnce(AudioBackend& backend, uint32_t device, const ToneResource& tone, const VolumeSource& volume,
                  std::stop_token stop) {
  const auto wave = ParseWave(tone.bytes, tone.size);
  if (!wave || wave->size < 2) return false;
  auto playback = backend.OpenPlayback(device, wave->channels, wave->rate);
  if (!playback->has_stream()) return true;  // a speaker that did not open plays nothing
  if (volume) SetPlaybackVolume(playback.get(), volume());
  size_t position = 0;
  // After the tone, silence until every block that holds some of it has played.
  size_t silent_blocks = 0;
  while (!stop.stop_requested() && silent_blocks <= kQueuedBlocks) {
    playback->block_event().Wait(kToneWait);
    while (int16_t* block = playback->NextPlaybackBlock()) {
      if (volume) SetPlaybackVolume(playback.get(), volume());
      if (!FillOnce(*wave, position, block, playback->block_samples())) ++silent_blocks;
    }
  }
  ClosePlayback(playback);
  return true;
}

SoundTest::SoundTest(std::shared_ptr<AudioBackend> backend, uint32_t device, std::string name, VolumeSource volume)
    : keep_(std::move(backend)) {
  AudioBackend& b = *keep_;
  thread_ = std::jthread([&b, device, name = std::move(name), volume = std::move(volume),
                          finished = finished_](std::stop_token stop) {
    PlayToneOnce(b, device, FindToneResource(name), volume, stop);
    finished->store(true);
  });
}

bool PlayTone(AudioBackend& backend, uint32_t device, const ToneResource& tone, uint16_t ring_volume,
              std::stop_token stop) {
  const auto wave = ParseWave(tone.bytes, tone.size);
  if (!wave || wave->size < 2) return false;
  auto playback = backend.OpenPlayback(device, wave->channels, wave->rate);
  SetPlaybackVolume(playback.get(), ring_volume);
  size_t position = 0;
  while (!stop.stop_requested()) {
    playback->block_event().Wait(kToneWait);
    while (int16_t* block = playback->NextPlaybackBlock()) FillBlock(*wave, position, block, playback->block_samples());
  }
  ClosePlayback(playback);
  return true;
}

TonePlayer::TonePlayer(AudioBackend& backend, uint32_t device, std::string name, uint16_t ring_volume)
    : thread_([&backend, device, name = std::move(name), ring_volume](std::stop_token stop) {
        PlayTone(backend, device, FindToneResource(name), ring_volume, stop);
      }) {}

}  // namespace orv

namespace orv {

TonePlayer::TonePlayer(std::shared_ptr<AudioBackend> backend, uint32_t device, std::string name, uint16_t ring_volume)
    : keep_(std::move(backend)) {
  AudioBackend& b = *keep_;
  thread_ = std::jthread([&b, device, name = std::move(name), ring_volume](std::stop_token stop) {
    PlayTone(b, device, FindToneResource(name), ring_volume, stop);
  });
}

}  // namespace orv
