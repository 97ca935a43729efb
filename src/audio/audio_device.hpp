// Sound in and out: AudioCapture records 16 kHz mono 16-bit blocks of 320
// samples, AudioPlayback plays 16-bit blocks of 320 frames at any rate and
// channel count. Both sit on a ring of 7 blocks (block_ring.hpp) and
// expose its block event. A backend (PortAudio, WAV files) opens them and
// attaches the stream that drives the device side. A device that cannot be
// opened still gives an object: its event is never set and its fetches
// return null, so the voice engine idles on its time-outs.
//
// Playback volume and microphone level are software gains applied to the
// samples as the device takes or delivers them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/block_ring.hpp"

namespace orv {

// Device number of the system's default device.
constexpr uint32_t kDefaultAudioDevice = 0xFFFFFFFF;
constexpr uint32_t kCaptureRate = 16000;

// A running device stream; destroying it stops the device.
class AudioStream {
 public:
  virtual ~AudioStream() = default;
};

// The device word of a level 0..100: level × 65535 / 100, 65535 from 100 on.
uint16_t LevelToDeviceWord(uint16_t level);

class AudioCapture {
 public:
  AudioCapture();
  ~AudioCapture();
  AudioCapture(const AudioCapture&) = delete;
  AudioCapture& operator=(const AudioCapture&) = delete;

  // The oldest recorded block of 320 samples, or null when none is ready;
  // valid until the next call.
  int16_t* NextCaptureBlock() { return ring_.Next(); }
  bool CaptureBlockReady() { return ring_.Available(); }
  BlockEvent& block_event() { return ring_.event(); }
  const int16_t* block(size_t index) { return ring_.block(index); }

  // Microphone gain as a device word (65535 = unchanged).
  void SetGainWord(uint16_t word) { gain_.store(word); }
  uint16_t gain_word() const { return gain_.load(); }

  // Device side: 320 recorded samples. False when no block was queued: the
  // samples are lost, as a device loses them when its owner falls behind.
  bool DeliverBlock(const int16_t* samples);
  void AttachStream(std::unique_ptr<AudioStream> stream) { stream_ = std::move(stream); }
  bool has_stream() const { return stream_ != nullptr; }
  // Blocks the device has recorded, lost ones included.
  uint64_t blocks_recorded() const { return recorded_.load(); }

 private:
  BlockRing ring_;
  std::atomic<uint16_t> gain_{0xFFFF};
  std::atomic<uint64_t> recorded_{0};
  std::unique_ptr<AudioStream> stream_;  // declared last: stops before the ring goes
};

class AudioPlayback {
 public:
  AudioPlayback(uint16_t channels, uint32_t rate);
  ~AudioPlayback();
  AudioPlayback(const AudioPlayback&) = delete;
  AudioPlayback& operator=(const AudioPlayback&) = delete;

  // Queues the block handed out before (at first the silent block 6) and
  // returns the next block of 320 × channels samples to fill, or null when
  // the device has not finished a block.
  int16_t* NextPlaybackBlock() { return ring_.Next(); }
  bool PlaybackBlockFree() { return ring_.Available(); }
  BlockEvent& block_event() { return ring_.event(); }
  int16_t* block(size_t index) { return ring_.block(index); }
  size_t block_samples() const { return ring_.block_samples(); }
  uint16_t channels() const { return channels_; }
  uint32_t rate() const { return rate_; }

  // The device volume: the same word for both channels, low and high half.
  void SetVolumeWord(uint16_t word) { volume_.store(word); }
  uint32_t device_volume() const { return static_cast<uint32_t>(volume_.load()) * 0x10001u; }

  // Device side: copies the oldest queued block into `out` (block_samples()
  // samples) with the volume applied. False, with `out` silent, when nothing
  // was queued.
  bool ConsumeBlock(int16_t* out);
  void AttachStream(std::unique_ptr<AudioStream> stream) { stream_ = std::move(stream); }
  bool has_stream() const { return stream_ != nullptr; }
  // Block times the device has played, underruns included.
  uint64_t blocks_played() const { return played_.load(); }

 private:
  uint16_t channels_;
  std::atomic<uint64_t> played_{0};
  uint32_t rate_;
  BlockRing ring_;
  std::atomic<uint16_t> volume_{0xFFFF};
  std::unique_ptr<AudioStream> stream_;  // declared last: stops before the ring goes
};

// Opens devices of one kind of sound system.
class AudioBackend {
 public:
  virtual ~AudioBackend() = default;
  // Starts recording at once.
  virtual std::unique_ptr<AudioCapture> OpenCapture(uint32_t device) = 0;
  // Queues 6 silent blocks at once.
  virtual std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t device, uint16_t channels, uint32_t rate) = 0;
  // The device whose name equals `name` exactly, else kDefaultAudioDevice.
  virtual uint32_t FindCaptureDevice(std::string_view name) = 0;
  virtual uint32_t FindPlaybackDevice(std::string_view name) = 0;
  // Names of the devices that can record (or play), in device order; a
  // sound system without named devices has none.
  virtual std::vector<std::string> CaptureDeviceNames() const { return {}; }
  virtual std::vector<std::string> PlaybackDeviceNames() const { return {}; }
};

inline void CloseCapture(std::unique_ptr<AudioCapture>& capture) { capture.reset(); }
inline void ClosePlayback(std::unique_ptr<AudioPlayback>& playback) { playback.reset(); }
// Level 0..100; nothing when the object is null.
void SetPlaybackVolume(AudioPlayback* playback, uint16_t level);
void SetMicrophoneLevel(AudioCapture* capture, uint16_t level);

}  // namespace orv
