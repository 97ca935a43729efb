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

}  // namespace

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
