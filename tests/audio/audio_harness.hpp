// Helpers of the audio tests: WAV files in and out, a lock-step driver for
// devices on a manual clock, and a loopback in place of the network.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/pace_clock.hpp"
#include "audio/voice_engine.hpp"
#include "audio/wave_format.hpp"
#include "net/payload_sender.hpp"

namespace orv::test {

constexpr int64_t kBlockNs = 20'000'000;

// The committed test recordings, in tests/audio/data.
inline std::string AudioDataFile(const std::string& name) { return std::string(ORV_TESTS_DIR) + "/audio/data/" + name; }

inline std::vector<int16_t> ReadSamples(const std::string& path) {
  std::string error;
  auto samples = ReadMonoWave16k(path, error);
  EXPECT_TRUE(samples.has_value()) << error;
  return samples ? *samples : std::vector<int16_t>{};
}

inline void WriteSamples(const std::string& path, const std::vector<int16_t>& samples) {
  WaveFileWriter writer;
  ASSERT_TRUE(writer.Open(path, 1, 16000));
  writer.Write(samples.data(), samples.size());
}

inline std::vector<int16_t> Tone(double hz, double seconds, double amplitude, uint32_t rate = 16000) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * rate));
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * hz * i / rate)));
  return out;
}

inline void Append(std::vector<int16_t>& out, const std::vector<int16_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

inline void AppendSilence(std::vector<int16_t>& out, double seconds) {
  out.insert(out.end(), static_cast<size_t>(seconds * 16000), 0);
}

// Waits (bounded) until `done` holds.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// Advances the clock one block at a time and waits until every engine has
// run its step for it.
inline void RunSteps(ManualPaceClock& clock, const std::vector<const VoiceEngine*>& engines, int steps) {
  for (int k = 0; k < steps; ++k) {
    std::vector<uint64_t> before;
    for (const VoiceEngine* e : engines) before.push_back(e->stats().steps.load());
    clock.Advance(kBlockNs);
    for (size_t i = 0; i < engines.size(); ++i) {
      const VoiceEngine* e = engines[i];
      const uint64_t want = before[i] + 1;
      ASSERT_TRUE(WaitFor([&] { return e->stats().steps.load() >= want; })) << "engine " << i << " step " << k;
    }
  }
}

// A backend that opens real devices through another and keeps an eye on them.
class SpyBackend : public AudioBackend {
 public:
  explicit SpyBackend(std::shared_ptr<AudioBackend> real) : real_(std::move(real)) {}
  std::unique_ptr<AudioCapture> OpenCapture(uint32_t device) override {
    capture_opens.fetch_add(1);
    last_input.store(device);
    auto c = real_->OpenCapture(device);
    capture.store(c.get());
    return c;
  }
  std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t device, uint16_t channels, uint32_t rate) override {
    playback_opens.fetch_add(1);
    last_output.store(device);
    auto p = real_->OpenPlayback(device, channels, rate);
    playback.store(p.get());
    return p;
  }
  uint32_t FindCaptureDevice(std::string_view name) override { return name == "mic 2" ? 2 : kDefaultAudioDevice; }
  uint32_t FindPlaybackDevice(std::string_view name) override { return name == "speaker 3" ? 3 : kDefaultAudioDevice; }

  std::atomic<int> capture_opens{0};
  std::atomic<int> playback_opens{0};
  std::atomic<uint32_t> last_input{0};
  std::atomic<uint32_t> last_output{0};
  // The devices opened last; only valid while their owner keeps them.
  std::atomic<AudioCapture*> capture{nullptr};
  std::atomic<AudioPlayback*> playback{nullptr};

 private:
  std::shared_ptr<AudioBackend> real_;
};

// Everything an engine sends, optionally handed to the engine at the other end.
class LoopbackSender : public PayloadSender {
 public:
  int32_t SendPayload(PeerRef&, uint32_t inner_type, const uint8_t* data, uint32_t length) override {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      sent_.emplace_back(data, data + length);
      types_.push_back(inner_type);
    }
    if (CallVoice* far = far_end.load()) far->QueueVoiceFrame(data, length);
    return static_cast<int32_t>(length);
  }
  std::vector<std::vector<uint8_t>> sent() {
    std::lock_guard<std::mutex> hold(mutex_);
    return sent_;
  }
  std::vector<uint32_t> types() {
    std::lock_guard<std::mutex> hold(mutex_);
    return types_;
  }
  std::atomic<CallVoice*> far_end{nullptr};

 private:
  std::mutex mutex_;
  std::vector<std::vector<uint8_t>> sent_;
  std::vector<uint32_t> types_;
};

inline double Energy(const std::vector<int16_t>& x, size_t from, size_t to) {
  double e = 0;
  for (size_t i = from; i < to && i < x.size(); ++i) e += static_cast<double>(x[i]) * x[i];
  return e;
}

inline double Rms(const std::vector<int16_t>& x, size_t from, size_t to) {
  to = std::min(to, x.size());
  return to > from ? std::sqrt(Energy(x, from, to) / static_cast<double>(to - from)) : 0.0;
}

}  // namespace orv::test
