#include <gtest/gtest.h>

#include <cstring>

#include "audio/tone_player.hpp"
#include "audio/tones.hpp"
#include "audio/voice_provider.hpp"
#include "audio/wav_backend.hpp"
#include "audio/wave_format.hpp"
#include "audio_harness.hpp"
#include "crypto/byte_order.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

std::vector<uint8_t> Chunk(const char* tag, std::vector<uint8_t> body) {
  std::vector<uint8_t> c(8);
  std::memcpy(c.data(), tag, 4);
  StoreLe32(c.data() + 4, static_cast<uint32_t>(body.size()));
  c.insert(c.end(), body.begin(), body.end());
  if (body.size() & 1) c.push_back(0);
  return c;
}

std::vector<uint8_t> Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  std::vector<uint8_t> f(16, 0);
  f[0] = static_cast<uint8_t>(tag);
  f[2] = static_cast<uint8_t>(channels);
  StoreLe32(f.data() + 4, rate);
  f[14] = static_cast<uint8_t>(bits);
  return f;
}

std::vector<uint8_t> Riff(std::vector<std::vector<uint8_t>> chunks, int32_t length_change = 0) {
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (auto& c : chunks) file.insert(file.end(), c.begin(), c.end());
  StoreLe32(file.data() + 4, static_cast<uint32_t>(static_cast<int32_t>(file.size()) - 8 + length_change));
  return file;
}

TEST(ParseWave, ChecksAndWalksTheChunks) {
  const auto fmt = Chunk("fmt ", Format(1, 1, 16000, 16));
  const auto data = Chunk("data", {1, 0, 2, 0});
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    bool ok;
    size_t data_size;
  };
  std::vector<uint8_t> not_riff = Riff({fmt, data});
  not_riff[0] = 'X';
  std::vector<uint8_t> not_wave = Riff({fmt, data});
  not_wave[11] = 'X';
  std::vector<uint8_t> cut = Riff({fmt, data});
  cut.resize(30);
  const Case cases[] = {
      {"plain", Riff({fmt, data}), true, 4},
      {"a list chunk before the data", Riff({fmt, Chunk("LIST", {9, 9, 9}), data}), true, 4},
      {"not RIFF", not_riff, false, 0},
      {"not WAVE", not_wave, false, 0},
      {"first chunk not fmt", Riff({Chunk("LIST", {}), fmt, data}), false, 0},
      {"float samples", Riff({Chunk("fmt ", Format(3, 1, 16000, 16)), data}), false, 0},
      {"8-bit samples", Riff({Chunk("fmt ", Format(1, 1, 16000, 8)), data}), false, 0},
      {"no data chunk", Riff({fmt, Chunk("LIST", {1, 2})}), false, 0},
      {"data beyond the RIFF length", Riff({fmt, data}, -2), true, 2},
      {"RIFF length hides the data", Riff({fmt, data}, -12), false, 0},
      {"cut short", cut, false, 0},
  };
  for (const Case& c : cases) {
    const auto wave = ParseWave(c.file.data(), c.file.size());
    EXPECT_EQ(wave.has_value(), c.ok) << c.what;
    if (wave) {
      EXPECT_EQ(wave->size, c.data_size) << c.what;
    }
  }
}

TEST(Tones, BuiltInTonesHaveTheirFormats) {
  struct Case {
    const char* name;
    uint32_t rate;
    size_t data_bytes;
  };
  for (const Case& c : {Case{"WAVEDIAL", 16000, 96000}, Case{"waveRing", 22050, 150714}, Case{"WaveTest", 16000, 73096}}) {
    const ToneResource tone = FindToneResource(c.name);
    const auto wave = ParseWave(tone.bytes, tone.size);
    ASSERT_TRUE(wave) << c.name;
    EXPECT_EQ(wave->channels, 1) << c.name;
    EXPECT_EQ(wave->rate, c.rate) << c.name;
    EXPECT_EQ(wave->size, c.data_bytes) << c.name;
  }
  EXPECT_EQ(FindToneResource("WAVEBUSY").bytes, nullptr);
}

std::vector<int16_t> ToneSamples(const char* name) {
  const auto wave = ParseWave(FindToneResource(name).bytes, FindToneResource(name).size);
  std::vector<int16_t> s(wave->size / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(wave->data[2 * i] | (wave->data[2 * i + 1] << 8));
  return s;
}

class TonePlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WavBackendOptions options;
    options.playback_file = dir_ / "tone.wav";
    options.clock = clock_;
    std::string error;
    std::shared_ptr<AudioBackend> wav = WavAudioBackend::Create(options, error);
    ASSERT_TRUE(wav) << error;
    wav_ = static_cast<WavAudioBackend*>(wav.get());
    spy_ = std::make_shared<test::SpyBackend>(wav);
  }
  // Moves the clock one block at a time, each time until the tone thread
  // has taken the block the device finished.
  void Play(size_t blocks) {
    ASSERT_TRUE(test::WaitFor([&] { return spy_->playback.load() != nullptr; }));
    AudioPlayback* p = spy_->playback.load();
    for (size_t k = 0; k < blocks; ++k) {
      const uint64_t want = p->blocks_played() + 1;
      clock_->Advance(test::kBlockNs);
      ASSERT_TRUE(test::WaitFor([&] { return p->blocks_played() >= want && !p->PlaybackBlockFree(); }));
    }
  }
  test::TempDir dir_;
  std::shared_ptr<ManualPaceClock> clock_ = std::make_shared<ManualPaceClock>();
  WavAudioBackend* wav_ = nullptr;
  std::shared_ptr<test::SpyBackend> spy_;
};

TEST_F(TonePlayerTest, LoopsTheToneWithSilenceAfterItsLastBlock) {
  const auto tone = ToneSamples("WAVETEST");  // 36548 samples: 114 blocks and 68 samples
  const size_t blocks = tone.size() / kBlockFrames + 1;
  {
    TonePlayer player(*spy_, kDefaultAudioDevice, "waveTest", 100);
    // The six silent blocks and the spare, then the tone twice over.
    Play(7 + 2 * blocks);
  }
  wav_->FinishPlaybackFile();
  const auto played = test::ReadSamples(dir_ / "tone.wav");
  ASSERT_GE(played.size(), (7 + 2 * blocks) * kBlockFrames);
  for (size_t round = 0; round < 2; ++round) {
    const size_t at = (7 + round * blocks) * kBlockFrames;
    EXPECT_TRUE(std::equal(tone.begin(), tone.end(), played.begin() + at)) << round;
    for (size_t i = tone.size(); i < blocks * kBlockFrames; ++i) ASSERT_EQ(played[at + i], 0) << i;
  }
}

TEST_F(TonePlayerTest, RingToneOpensAtItsOwnRateAndRingVolume) {
  TonePlayer player(*spy_, kDefaultAudioDevice, "waveRing", 50);
  Play(10);
  AudioPlayback* p = spy_->playback.load();
  EXPECT_EQ(p->rate(), 22050u);
  EXPECT_EQ(p->channels(), 1);
  EXPECT_EQ(p->device_volume(), 0x7FFF7FFFu);
}

TEST_F(TonePlayerTest, ProviderPlaysTheDialToneOnTheChosenSpeaker) {
  AudioVoiceProvider provider(spy_, VoiceOptions{});
  {
    auto tone = provider.StartTone("waveDial", 100);
    Play(10);
  }
  wav_->FinishPlaybackFile();
  const auto played = test::ReadSamples(dir_ / "tone.wav");
  const auto dial = ToneSamples("WAVEDIAL");
  ASSERT_GE(played.size(), 10 * kBlockFrames);
  // After the six silent blocks and the spare, the dial tone from its start.
  EXPECT_TRUE(std::equal(dial.begin(), dial.begin() + 3 * kBlockFrames, played.begin() + 7 * kBlockFrames));
  EXPECT_EQ(spy_->last_output.load(), kDefaultAudioDevice);
}

TEST(TonePlayer, MalformedToneOpensNothing) {
  class Refuse : public AudioBackend {
   public:
    std::unique_ptr<AudioCapture> OpenCapture(uint32_t) override { return nullptr; }
    std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t, uint16_t, uint32_t) override {
      ADD_FAILURE() << "opened";
      return std::make_unique<AudioPlayback>(1, 16000);
    }
    uint32_t FindCaptureDevice(std::string_view) override { return kDefaultAudioDevice; }
    uint32_t FindPlaybackDevice(std::string_view) override { return kDefaultAudioDevice; }
  } backend;
  const std::vector<uint8_t> junk(100, 'x');
  std::stop_source stop;
  EXPECT_FALSE(PlayTone(backend, kDefaultAudioDevice, ToneResource{junk.data(), junk.size()}, 66, stop.get_token()));
  EXPECT_FALSE(PlayTone(backend, kDefaultAudioDevice, FindToneResource("waveNone"), 66, stop.get_token()));
}

}  // namespace
}  // namespace orv

