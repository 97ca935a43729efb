#include <gtest/gtest.h>

#include <numeric>

#include "audio/audio_device.hpp"
#include "audio/device_selection.hpp"
#include "audio/wav_backend.hpp"
#include "audio_harness.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::kBlockNs;

std::vector<int16_t> Block(int16_t value) { return std::vector<int16_t>(kBlockFrames, value); }

TEST(AudioCaptureRing, HandsOutBlocksOldestFirstFromBlockZero) {
  AudioCapture capture;
  EXPECT_EQ(capture.NextCaptureBlock(), nullptr);  // nothing recorded yet
  // The device records three blocks, marked 1, 2, 3.
  for (int16_t v = 1; v <= 3; ++v) EXPECT_TRUE(capture.DeliverBlock(Block(v).data()));
  EXPECT_TRUE(capture.block_event().Wait(std::chrono::milliseconds(0)));
  int16_t* first = capture.NextCaptureBlock();
  EXPECT_EQ(first, capture.block(0));
  EXPECT_EQ(first[0], 1);
  EXPECT_EQ(capture.NextCaptureBlock(), capture.block(1));
  EXPECT_EQ(capture.NextCaptureBlock()[0], 3);
  EXPECT_EQ(capture.NextCaptureBlock(), nullptr);
}

TEST(AudioCaptureRing, SixQueuedBlocksThenTheDeviceLosesWhatItHears) {
  AudioCapture capture;
  for (int16_t v = 1; v <= 6; ++v) EXPECT_TRUE(capture.DeliverBlock(Block(v).data()));
  EXPECT_FALSE(capture.DeliverBlock(Block(7).data()));  // the owner fell behind
  // Fetching hands the spare block 6 back; the device records into it next.
  EXPECT_EQ(capture.NextCaptureBlock()[0], 1);
  EXPECT_TRUE(capture.DeliverBlock(Block(8).data()));
  for (int16_t v = 2; v <= 6; ++v) EXPECT_EQ(capture.NextCaptureBlock()[0], v);
  int16_t* last = capture.NextCaptureBlock();
  EXPECT_EQ(last, capture.block(6));
  EXPECT_EQ(last[0], 8);
}

TEST(AudioPlaybackRing, FirstFetchQueuesSilentBlockSixAndReturnsBlockZero) {
  AudioPlayback playback(1, 16000);
  EXPECT_EQ(playback.NextPlaybackBlock(), nullptr);  // the device has finished nothing
  std::vector<int16_t> out(kBlockFrames, 99);
  EXPECT_TRUE(playback.ConsumeBlock(out.data()));  // plays silent block 0
  EXPECT_EQ(out[0], 0);
  int16_t* fill = playback.NextPlaybackBlock();
  EXPECT_EQ(fill, playback.block(0));
  std::fill(fill, fill + kBlockFrames, int16_t{500});
  // Blocks 1..5 and the spare 6 (queued by that fetch) play before block 0.
  for (int i = 1; i <= 6; ++i) {
    EXPECT_TRUE(playback.ConsumeBlock(out.data()));
    EXPECT_EQ(out[0], 0) << i;
    EXPECT_EQ(playback.NextPlaybackBlock(), playback.block(i % kRingBlocks));
  }
  EXPECT_TRUE(playback.ConsumeBlock(out.data()));
  EXPECT_EQ(out[0], 500);
}

TEST(AudioPlaybackRing, UnderrunPlaysSilence) {
  AudioPlayback playback(2, 22050);
  EXPECT_EQ(playback.block_samples(), 2 * kBlockFrames);
  std::vector<int16_t> out(2 * kBlockFrames, 7);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(playback.ConsumeBlock(out.data()));
  EXPECT_FALSE(playback.ConsumeBlock(out.data()));
  EXPECT_EQ(std::accumulate(out.begin(), out.end(), 0), 0);
}

TEST(AudioLevels, VolumeWordsAndGain) {
  struct Case {
    uint16_t level;
    uint32_t device_volume;
  };
  for (const Case& c : {Case{0, 0}, Case{50, 0x7FFF7FFF}, Case{66, 0xA8F5A8F5}, Case{100, 0xFFFFFFFF},
                        Case{150, 0xFFFFFFFF}}) {
    AudioPlayback playback(1, 16000);
    SetPlaybackVolume(&playback, c.level);
    EXPECT_EQ(playback.device_volume(), c.device_volume) << c.level;
  }
  SetPlaybackVolume(nullptr, 50);  // nothing happens
  SetMicrophoneLevel(nullptr, 50);

  AudioCapture capture;
  SetMicrophoneLevel(&capture, 50);
  capture.DeliverBlock(Block(10000).data());
  EXPECT_EQ(capture.NextCaptureBlock()[0], 4999);
}

// A backend whose devices have the names given.
class NamedBackend : public AudioBackend {
 public:
  std::unique_ptr<AudioCapture> OpenCapture(uint32_t) override { return std::make_unique<AudioCapture>(); }
  std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t, uint16_t c, uint32_t r) override {
    return std::make_unique<AudioPlayback>(c, r);
  }
  uint32_t FindCaptureDevice(std::string_view name) override { return Find(name); }
  uint32_t FindPlaybackDevice(std::string_view name) override { return Find(name); }

 private:
  static uint32_t Find(std::string_view name) {
    const char* names[] = {"Headset", "Built-in"};
    for (uint32_t i = 0; i < 2; ++i)
      if (name == names[i]) return i;
    return kDefaultAudioDevice;
  }
};

TEST(SelectAudioDevices, NamesChooseDevicesAndLevelsAreKept) {
  NamedBackend backend;
  Settings settings;
  settings.Microphone = "Built-in";
  settings.Speaker = "headset";  // names match exactly, letter case included
  settings.Volume = 40;
  settings.MicLevel = 130;
  const AudioDeviceSelection s = SelectAudioDevices(backend, settings);
  EXPECT_EQ(s.input_device, 1u);
  EXPECT_EQ(s.output_device, kDefaultAudioDevice);
  EXPECT_EQ(s.volume, 40);
  EXPECT_EQ(s.mic_level, 100);
  EXPECT_EQ(SelectAudioDevices(backend, Settings{}).input_device, kDefaultAudioDevice);  // "default"
}

class WavDevices : public ::testing::Test {
 protected:
  std::unique_ptr<WavAudioBackend> Make(WavBackendOptions options) {
    options.clock = clock_;
    std::string error;
    auto backend = WavAudioBackend::Create(std::move(options), error);
    EXPECT_TRUE(backend) << error;
    return backend;
  }
  std::shared_ptr<ManualPaceClock> clock_ = std::make_shared<ManualPaceClock>();
  test::TempDir dir_;
};

TEST_F(WavDevices, CaptureReadsTheFileAtTheClockPaceThenLoopsOrFallsSilent) {
  std::vector<int16_t> ramp(500);
  std::iota(ramp.begin(), ramp.end(), int16_t{1});
  test::WriteSamples(dir_ / "in.wav", ramp);
  for (bool loop : {false, true}) {
    WavBackendOptions options;
    options.capture_file = dir_ / "in.wav";
    options.capture_loop = loop;
    auto backend = Make(options);
    auto capture = backend->OpenCapture(kDefaultAudioDevice);
    EXPECT_FALSE(capture->block_event().Wait(std::chrono::milliseconds(30)));  // time stands still
    clock_->Advance(kBlockNs);
    ASSERT_TRUE(capture->block_event().Wait(std::chrono::seconds(5)));
    const int16_t* b = capture->NextCaptureBlock();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[319], 320);
    clock_->Advance(kBlockNs);
    ASSERT_TRUE(capture->block_event().Wait(std::chrono::seconds(5)));
    b = capture->NextCaptureBlock();
    EXPECT_EQ(b[179], 500);
    EXPECT_EQ(b[180], loop ? 1 : 0);
  }
}

TEST_F(WavDevices, PlaybackWritesEveryBlockTimeIncludingSilence) {
  WavBackendOptions options;
  options.playback_file = dir_ / "out.wav";
  auto backend = Make(options);
  auto playback = backend->OpenPlayback(kDefaultAudioDevice, 1, 16000);
  for (int k = 0; k < 8; ++k) {
    clock_->Advance(kBlockNs);
    ASSERT_TRUE(playback->block_event().Wait(std::chrono::seconds(5)));
    int16_t* fill = playback->NextPlaybackBlock();
    ASSERT_NE(fill, nullptr);
    std::fill(fill, fill + kBlockFrames, static_cast<int16_t>(100 + k));
  }
  playback.reset();
  backend->FinishPlaybackFile();
  const auto played = test::ReadSamples(dir_ / "out.wav");
  ASSERT_EQ(played.size(), 8 * kBlockFrames);
  // Six silent blocks and the spare play first; the first filled block is 8th.
  EXPECT_EQ(played[6 * kBlockFrames], 0);
  EXPECT_EQ(played[7 * kBlockFrames], 100);
}

TEST_F(WavDevices, EchoPathReturnsThePlaybackDelayedAndAttenuated) {
  WavBackendOptions options;
  options.echo_delay_ms = 40;  // two blocks
  options.echo_gain = 0.5;
  auto backend = Make(options);
  auto playback = backend->OpenPlayback(kDefaultAudioDevice, 1, 16000);
  auto capture = backend->OpenCapture(kDefaultAudioDevice);
  std::vector<int16_t> heard;
  for (int k = 0; k < 12; ++k) {
    clock_->Advance(kBlockNs);
    ASSERT_TRUE(test::WaitFor([&] { return capture->CaptureBlockReady() && playback->PlaybackBlockFree(); }));
    if (int16_t* fill = playback->NextPlaybackBlock()) std::fill(fill, fill + kBlockFrames, int16_t{1000});
    const int16_t* b = capture->NextCaptureBlock();
    heard.push_back(b[0]);
  }
  // Block 0 is filled at step 1 and plays at step 8 (after 6 queued and the
  // spare); its echo is heard two blocks later.
  for (int k = 0; k < 12; ++k) EXPECT_EQ(heard[k], k >= 9 ? 500 : 0) << k;
}

TEST_F(WavDevices, UnreadableCaptureFileIsAnError) {
  WavBackendOptions options;
  options.capture_file = dir_ / "missing.wav";
  options.clock = clock_;
  std::string error;
  EXPECT_EQ(WavAudioBackend::Create(options, error), nullptr);
  EXPECT_NE(error.find("missing.wav"), std::string::npos);
}

}  // namespace
}  // namespace orv
