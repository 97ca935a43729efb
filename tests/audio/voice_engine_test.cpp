#include <gtest/gtest.h>

#include "audio/voice_engine.hpp"
#include "audio/voice_provider.hpp"
#include "audio/wav_backend.hpp"
#include "audio_harness.hpp"
#include "crypto/byte_order.hpp"
#include "support/dead_audio_backend.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::kBlockNs;

class VoiceEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteSamples(dir_ / "tone.wav", test::Tone(440, 2.0, 0.5));
    WavBackendOptions options;
    options.capture_file = dir_ / "tone.wav";
    options.clock = clock_;
    std::string error;
    backend_ = WavAudioBackend::Create(options, error);
    ASSERT_TRUE(backend_) << error;
    channel_.call_state.store(6);
    levels_.volume.store(100);
    levels_.mic_level.store(100);
    engine_ = VoiceEngine::Create(channel_, sender_, levels_, backend_, nullptr);
    ASSERT_TRUE(engine_);
  }
  void Start() {
    engine_->StartVoice();
    ASSERT_TRUE(test::WaitFor([&] { return engine_->stats().reopens.load() >= 1; }));
  }
  void Run(int steps) { test::RunSteps(*clock_, {engine_.get()}, steps); }

  // RMS of what a fresh decoder makes of the frames sent from `from` on.
  double DecodedRms(size_t from) {
    auto codec = CreateVoiceCodec();
    const auto sent = sender_.sent();
    std::vector<int16_t> all;
    for (size_t i = from; i < sent.size(); ++i) {
      std::vector<int16_t> out(kVoiceFrameSamples);
      DecodeVoiceFrame(*codec, sent[i].data() + 4, sent[i].size() - 4, out.data());
      if (i >= from + 3) test::Append(all, out);  // past the decoder's own memory
    }
    return test::Rms(all, 0, all.size());
  }

  test::TempDir dir_;
  std::shared_ptr<ManualPaceClock> clock_ = std::make_shared<ManualPaceClock>();
  std::shared_ptr<AudioBackend> backend_;
  CallChannel channel_;
  VoiceLevels levels_;
  test::LoopbackSender sender_;
  std::unique_ptr<VoiceEngine> engine_;
};

TEST_F(VoiceEngineTest, SendsOneVoiceMessagePerStepInVoice) {
  Start();
  Run(10);
  const auto sent = sender_.sent();
  ASSERT_EQ(sent.size(), 10u);
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sender_.types()[i], 1u);
    EXPECT_EQ(LoadLe32(sent[i].data()), kCodeVoiceFrame);
    EXPECT_GT(sent[i].size(), 4u);
    EXPECT_LE(sent[i].size(), 4 + kMaxVoiceFrameBytes);
  }
  EXPECT_TRUE(engine_->VoiceRunning());
}

TEST_F(VoiceEngineTest, MuteSendsEncodedSilenceEveryStep) {
  Start();
  Run(25);
  EXPECT_GT(DecodedRms(0), 1000.0);  // the tone goes out
  levels_.mute.store(true);
  Run(25);
  ASSERT_EQ(sender_.sent().size(), 50u);  // still one message per step
  EXPECT_LT(DecodedRms(30), 50.0);        // but silent
}

TEST_F(VoiceEngineTest, DialingSendsNothingAndPlaysConcealment) {
  channel_.call_state.store(5);
  Start();
  const uint8_t frame[46] = {8, 0, 0, 0, 1, 2, 3};
  for (int k = 0; k < 9; ++k) engine_->QueueVoiceFrame(frame, sizeof frame);  // not in voice: dropped
  Run(10);
  EXPECT_TRUE(sender_.sent().empty());
  EXPECT_EQ(engine_->stats().steps.load(), 10u);
  EXPECT_EQ(engine_->stats().frames_played.load(), 0u);
  EXPECT_TRUE(engine_->VoiceRunning());
}

TEST_F(VoiceEngineTest, StateBelowDialingEndsTheThread) {
  Start();
  Run(3);
  channel_.call_state.store(4);
  clock_->Advance(kBlockNs);
  ASSERT_TRUE(test::WaitFor([&] { return !engine_->VoiceRunning(); }));
  EXPECT_EQ(sender_.sent().size(), 3u);
  // A new call starts it again, with freshly opened devices.
  channel_.call_state.store(6);
  engine_->StartVoice();
  ASSERT_TRUE(test::WaitFor([&] { return engine_->stats().reopens.load() == 2; }));
  Run(2);
  EXPECT_EQ(sender_.sent().size(), 5u);
}

TEST_F(VoiceEngineTest, StopAndStartAtOnceLeavesOneThreadOnTheCodec) {
  Start();
  Run(2);
  engine_->StopVoice();
  EXPECT_FALSE(engine_->VoiceRunning());
  engine_->StartVoice();  // may run while the old thread still closes its devices
  EXPECT_TRUE(engine_->VoiceRunning());
  ASSERT_TRUE(test::WaitFor([&] { return engine_->stats().reopens.load() == 2; }));
  Run(3);
  EXPECT_EQ(sender_.sent().size(), 5u);
}

using DeadBackend = test::DeadAudioBackend;

TEST(VoiceEngineDevices, DevicesThatCannotOpenLeaveTheEngineIdling) {
  CallChannel channel;
  channel.call_state.store(6);
  VoiceLevels levels;
  test::LoopbackSender sender;
  auto engine = VoiceEngine::Create(channel, sender, levels, std::make_shared<DeadBackend>(), nullptr);
  engine->StartVoice();
  std::this_thread::sleep_for(std::chrono::milliseconds(250));  // a few idle passes
  EXPECT_TRUE(engine->VoiceRunning());
  EXPECT_EQ(engine->stats().steps.load(), 0u);
  EXPECT_TRUE(sender.sent().empty());
  engine.reset();  // joins at once
}

// A sound system that cannot even make device objects.
class NoBackend : public DeadBackend {
 public:
  std::unique_ptr<AudioCapture> OpenCapture(uint32_t) override {
    opens.fetch_add(1);
    return nullptr;
  }
  std::atomic<int> opens{0};
};

TEST(VoiceEngineDevices, MissingDevicesAreRetriedAfterAPause) {
  CallChannel channel;
  channel.call_state.store(6);
  VoiceLevels levels;
  test::LoopbackSender sender;
  auto backend = std::make_shared<NoBackend>();
  auto engine = VoiceEngine::Create(channel, sender, levels, backend, nullptr);
  engine->StartVoice();
  ASSERT_TRUE(test::WaitFor([&] { return backend->opens.load() >= 2; }));
  EXPECT_TRUE(sender.sent().empty());
  engine.reset();
}

TEST(VoiceEngineDevices, DeviceChangeReopensBothDevicesOnce) {
  auto clock = std::make_shared<ManualPaceClock>();
  VoiceOptions options;
  options.clock = clock;
  std::string error;
  auto wav = CreateVoiceProvider(options, error);
  ASSERT_TRUE(wav) << error;
  auto spy = std::make_shared<test::SpyBackend>(wav->shared_backend());
  AudioVoiceProvider provider(spy, options);

  CallChannel channel;
  channel.call_state.store(6);
  VoiceLevels levels;
  test::LoopbackSender sender;
  auto voice = provider.CreateCallVoice(channel, sender, levels);
  voice->StartVoice();
  ASSERT_TRUE(test::WaitFor([&] { return spy->playback_opens.load() == 1 && spy->capture_opens.load() == 1; }));
  EXPECT_EQ(spy->last_input.load(), kDefaultAudioDevice);

  Settings settings;
  settings.Microphone = "mic 2";
  settings.Speaker = "speaker 3";
  const AudioDeviceSelection chosen = provider.SelectAudioDevices(settings);
  EXPECT_EQ(chosen.input_device, 2u);
  // The engine notices at its next pass: let the clock move a few blocks.
  for (int k = 0; k < 10; ++k) {
    clock->Advance(kBlockNs);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(test::WaitFor([&] { return spy->playback_opens.load() == 2; }));
  for (int k = 0; k < 10; ++k) {
    clock->Advance(kBlockNs);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(spy->capture_opens.load(), 2);
  EXPECT_EQ(spy->playback_opens.load(), 2);
  EXPECT_EQ(spy->last_input.load(), 2u);
  EXPECT_EQ(spy->last_output.load(), 3u);
  ASSERT_TRUE(test::WaitFor([&] { return !sender.sent().empty(); }));
}

}  // namespace
}  // namespace orv
