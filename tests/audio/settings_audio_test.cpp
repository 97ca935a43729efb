// The audio page of the settings dialog: the device lists, the microphone
// level meter and the sound tests.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "audio/device_list.hpp"
#include "audio/device_selection.hpp"
#include "audio/level_meter.hpp"
#include "audio/tone_player.hpp"
#include "audio/tones.hpp"
#include "audio/wav_backend.hpp"
#include "audio_harness.hpp"
#include "support/dead_audio_backend.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

TEST(DeviceList, DefaultFirstThenTheDevicesAndAPrefixSelects) {
  const auto entries = DeviceListEntries({"Headset", "HDA Intel PCH"});
  EXPECT_EQ(entries, (std::vector<std::string>{"default", "Headset", "HDA Intel PCH"}));
  EXPECT_EQ(SelectDeviceEntry(entries, "DEFAULT"), 0u);
  EXPECT_EQ(SelectDeviceEntry(entries, "hda intel"), 2u);
  EXPECT_EQ(SelectDeviceEntry(entries, "H"), 1u);  // the first that begins so
  EXPECT_EQ(SelectDeviceEntry(entries, "Headset (unplugged)"), 0u);
}

// Device names longer than the 31 characters the settings keep: the cut
// name still finds its device, unless two devices begin alike.
TEST(SelectAudioDevices, ANameCutTo31CharactersFindsItsDevice) {
  class LongNames final : public AudioBackend {
   public:
    std::unique_ptr<AudioCapture> OpenCapture(uint32_t) override { return nullptr; }
    std::unique_ptr<AudioPlayback> OpenPlayback(uint32_t, uint16_t, uint32_t) override { return nullptr; }
    uint32_t FindCaptureDevice(std::string_view name) override { return Find(CaptureDeviceNames(), name); }
    uint32_t FindPlaybackDevice(std::string_view name) override { return Find(PlaybackDeviceNames(), name); }
    std::vector<std::string> CaptureDeviceNames() const override {
      return {"HDA Intel PCH: ALC892 Analog (hw:0,0)", "USB Audio Device: USB Audio (hw:1,0)"};
    }
    std::vector<std::string> PlaybackDeviceNames() const override {
      return {"HDA Intel PCH: ALC892 Analog (hw:0,0)", "HDA Intel PCH: ALC892 Analog (hw:0,1)"};
    }

   private:
    static uint32_t Find(const std::vector<std::string>& names, std::string_view name) {
      for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<uint32_t>(i);
      return kDefaultAudioDevice;
    }
  } backend;
  Settings settings;
  settings.Microphone = "USB Audio Device: USB Audio (hw";  // 31 characters
  settings.Speaker = "HDA Intel PCH: ALC892 Analog (h";
  const AudioDeviceSelection s = SelectAudioDevices(backend, settings);
  EXPECT_EQ(s.input_device, 1u);
  EXPECT_EQ(s.output_device, kDefaultAudioDevice);  // two devices begin so
  settings.Microphone = "USB Audio Device: USB Audio";  // shorter: an exact name only
  EXPECT_EQ(SelectAudioDevices(backend, settings).input_device, kDefaultAudioDevice);
}

TEST(LevelReadingOf, DecibelsAreCutToTheirIntegerPartWithinTheRange) {
  struct Case {
    double power;
    LevelReading reading;
  };
  const Case cases[] = {
      {0.0, {-60, 0, false, "-60 dB"}},
      {1e-7, {-60, 0, false, "-60 dB"}},  // -70 dB
      {0.06, {-12, 48, false, "-12 dB"}},  // -12.2
      {0.07, {-11, 49, true, "-11 dB"}},   // -11.5: red from -11 on
      {0.5, {-3, 57, true, "-3 dB"}},
      {1.0, {0, 60, true, "0 dB"}},
  };
  for (const Case& c : cases) EXPECT_EQ(LevelReadingOf(c.power), c.reading) << c.power;
}

TEST(LevelPower, EveryThirteenthBufferGivesAReading) {
  LevelPower power;
  const std::vector<int16_t> full(kBlockFrames, 32767);
  for (int i = 1; i < kLevelMeterBuffers; ++i) EXPECT_FALSE(power.AddBuffer(full.data(), full.size())) << i;
  const auto reading = power.AddBuffer(full.data(), full.size());
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->decibels, 0);
  EXPECT_FALSE(power.AddBuffer(full.data(), full.size()));
}

// The meter on WAV-file microphones, whose clock the test moves block by block.
class LevelMeterTest : public ::testing::Test {
 protected:
  void Open(const std::vector<int16_t>& samples) {
    const std::string path = dir_ / "mic.wav";
    test::WriteSamples(path, samples);
    WavBackendOptions options;
    options.capture_file = path;
    options.clock = clock_;
    std::string error;
    std::shared_ptr<AudioBackend> wav = WavAudioBackend::Create(options, error);
    ASSERT_TRUE(wav) << error;
    spy_ = std::make_shared<test::SpyBackend>(wav);
  }
  LevelMeterSetup MeterSetup() {
    LevelMeterSetup setup;
    setup.backend = spy_;
    setup.mic_level = [this] { return mic_level_.load(); };
    setup.shown = [this](const LevelReading& r) {
      std::lock_guard<std::mutex> hold(mutex_);
      readings_.push_back(r);
    };
    return setup;
  }
  // Moves the clock one block at a time until the meter measured `count`
  // more buffers.
  void Record(LevelMeter& meter, int count) {
    for (int k = 0; k < count; ++k) {
      const uint64_t want = meter.buffers() + 1;
      clock_->Advance(test::kBlockNs);
      ASSERT_TRUE(test::WaitFor([&] { return meter.buffers() >= want; })) << k;
    }
  }
  std::vector<LevelReading> Readings() {
    std::lock_guard<std::mutex> hold(mutex_);
    return readings_;
  }

  test::TempDir dir_;
  std::shared_ptr<ManualPaceClock> clock_ = std::make_shared<ManualPaceClock>();
  std::shared_ptr<test::SpyBackend> spy_;
  std::atomic<uint16_t> mic_level_{100};
  std::mutex mutex_;
  std::vector<LevelReading> readings_;
};

TEST_F(LevelMeterTest, ASineOfKnownAmplitudeReadsItsPowerAndSetsTheMicLevel) {
  Open(test::Tone(1000, 2.0, 0.15));  // power 0.15² / 2 = 0.01125: -19.5 dB
  mic_level_ = 50;
  LevelMeter meter(MeterSetup());
  ASSERT_TRUE(test::WaitFor([&] { return spy_->capture.load() != nullptr; }));
  Record(meter, kLevelMeterBuffers - 1);
  EXPECT_TRUE(Readings().empty());
  EXPECT_EQ(spy_->capture.load()->gain_word(), 0xFFFF);
  Record(meter, 1);
  ASSERT_TRUE(test::WaitFor([&] { return !Readings().empty(); }));
  EXPECT_EQ(Readings().front(), (LevelReading{-19, 41, false, "-19 dB"}));
  EXPECT_EQ(spy_->capture.load()->gain_word(), 0x7FFF);  // "Mic gain" 50
  EXPECT_TRUE(meter.Stop());
  EXPECT_FALSE(meter.running());
}

TEST_F(LevelMeterTest, SilenceReadsMinus60) {
  Open(std::vector<int16_t>(16000, 0));
  LevelMeter meter(MeterSetup());
  ASSERT_TRUE(test::WaitFor([&] { return spy_->capture.load() != nullptr; }));
  Record(meter, kLevelMeterBuffers);
  ASSERT_TRUE(test::WaitFor([&] { return !Readings().empty(); }));
  EXPECT_EQ(Readings().front(), (LevelReading{-60, 0, false, "-60 dB"}));
}

TEST_F(LevelMeterTest, AnotherMicrophoneIsOpenedInPlaceOfTheFirst) {
  Open(std::vector<int16_t>(16000, 0));
  LevelMeter meter(MeterSetup());
  ASSERT_TRUE(test::WaitFor([&] { return spy_->capture_opens.load() == 1; }));
  EXPECT_EQ(spy_->last_input.load(), kDefaultAudioDevice);
  meter.SelectDevice(2);
  ASSERT_TRUE(test::WaitFor([&] { return spy_->capture_opens.load() == 2; }));
  EXPECT_EQ(spy_->last_input.load(), 2u);
  EXPECT_TRUE(meter.running());
}

TEST(LevelMeter, AMicrophoneThatDoesNotOpenEndsTheMeter) {
  using Dead = test::DeadAudioBackend;
  LevelMeterSetup setup;
  setup.backend = std::make_shared<Dead>();
  std::atomic<int> shown{0};
  setup.shown = [&shown](const LevelReading&) { shown.fetch_add(1); };
  setup.open_failure_wait = std::chrono::milliseconds(0);
  LevelMeter meter(std::move(setup));
  ASSERT_TRUE(test::WaitFor([&] { return !meter.running(); }));
  EXPECT_EQ(shown.load(), 0);
  EXPECT_TRUE(meter.Stop());
}

TEST(LevelMeter, StopEndsTheWaitAfterAFailedOpen) {
  using Dead = test::UnopenableAudioBackend;
  LevelMeterSetup setup;
  setup.backend = std::make_shared<Dead>();
  setup.open_failure_wait = std::chrono::hours(1);
  LevelMeter meter(std::move(setup));
  EXPECT_TRUE(meter.Stop());  // within its 1000 ms
  EXPECT_FALSE(meter.running());
}

std::vector<int16_t> ToneSamples(const char* name) {
  const auto wave = ParseWave(FindToneResource(name).bytes, FindToneResource(name).size);
  std::vector<int16_t> s(wave->size / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(wave->data[2 * i] | (wave->data[2 * i + 1] << 8));
  return s;
}

// "Test" plays the tone once on the chosen speaker, reads the volume again
// for every block, and ends by itself once the tone has played out.
TEST(SoundTest, PlaysTheToneOnceFollowingTheVolumeAndEnds) {
  test::TempDir dir;
  auto clock = std::make_shared<ManualPaceClock>();
  WavBackendOptions options;
  options.playback_file = dir / "speaker.wav";
  options.clock = clock;
  std::string error;
  std::shared_ptr<AudioBackend> wav_backend = WavAudioBackend::Create(options, error);
  ASSERT_TRUE(wav_backend) << error;
  auto* wav = static_cast<WavAudioBackend*>(wav_backend.get());
  auto spy = std::make_shared<test::SpyBackend>(wav_backend);
  const auto tone = ToneSamples("WAVETEST");  // 115 blocks, the last one partly
  const size_t tone_blocks = (tone.size() + kBlockFrames - 1) / kBlockFrames;
  // The thread fills the tone's blocks and then 7 silent ones (the 6 the
  // device holds and the spare) before it ends.
  const size_t fills = tone_blocks + kQueuedBlocks + 1;
  std::atomic<uint16_t> volume{100};
  SoundTest test(spy, 3, "waveTest", [&volume] { return volume.load(); });
  ASSERT_TRUE(test::WaitFor([&] { return spy->playback.load() != nullptr; }));
  AudioPlayback* p = spy->playback.load();
  EXPECT_EQ(spy->last_output.load(), 3u);
  for (size_t k = 0; k + 1 < fills; ++k) {
    if (k == 60) volume = 50;
    const uint64_t want = p->blocks_played() + 1;
    clock->Advance(test::kBlockNs);
    ASSERT_TRUE(test::WaitFor([&] { return p->blocks_played() >= want && !p->PlaybackBlockFree(); })) << k;
    if (k == 61) {
      EXPECT_EQ(p->device_volume(), 0x7FFF7FFFu);
    }
  }
  EXPECT_FALSE(test.finished());
  clock->Advance(test::kBlockNs);
  ASSERT_TRUE(test::WaitFor([&] { return test.finished(); }));
  wav->FinishPlaybackFile();
  const auto played = test::ReadSamples(dir / "speaker.wav");
  // After the six silent blocks and the spare, the tone's start at full volume.
  ASSERT_GE(played.size(), (7 + 40) * kBlockFrames);
  EXPECT_TRUE(std::equal(tone.begin(), tone.begin() + 40 * kBlockFrames, played.begin() + 7 * kBlockFrames));
}

}  // namespace
}  // namespace orv
