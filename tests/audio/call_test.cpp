// Two voice engines in one call, joined by a loopback in place of the
// network, with WAV-file devices on one clock. What the caller says must
// come out of the callee's speaker; what the callee's speaker plays and
// its microphone hears again must not come back to the caller.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "audio/voice_engine.hpp"
#include "audio/wav_backend.hpp"
#include "audio_harness.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

constexpr double kRate = 16000.0;

struct CallEnd {
  std::shared_ptr<WavAudioBackend> wav;
  CallChannel channel;
  VoiceLevels levels;
  test::LoopbackSender sender;
  std::unique_ptr<VoiceEngine> engine;
};

struct EndSetup {
  std::string capture;
  std::string playback;
  uint32_t echo_delay_ms = 0;
  double echo_gain = 0.0;
  bool echo_canceller = true;
};

class Call {
 public:
  Call(std::shared_ptr<PaceClock> clock, const EndSetup& caller, const EndSetup& callee) : clock_(std::move(clock)) {
    Make(caller_, caller);
    Make(callee_, callee);
    caller_.sender.far_end.store(callee_.engine.get());
    callee_.sender.far_end.store(caller_.engine.get());
  }
  // Both engines start and open their devices before the clock moves, so
  // every file of the call starts at clock time 0.
  void Start() {
    caller_.engine->StartVoice();
    callee_.engine->StartVoice();
    ASSERT_TRUE(test::WaitFor([&] {
      return caller_.engine->stats().reopens.load() == 1 && callee_.engine->stats().reopens.load() == 1;
    }));
  }
  void Finish() {
    caller_.sender.far_end.store(nullptr);
    callee_.sender.far_end.store(nullptr);
    caller_.engine->StopVoice();
    callee_.engine->StopVoice();
    caller_.engine.reset();
    callee_.engine.reset();
    caller_.wav->FinishPlaybackFile();
    callee_.wav->FinishPlaybackFile();
  }
  CallEnd& caller() { return caller_; }
  CallEnd& callee() { return callee_; }

 private:
  void Make(CallEnd& end, const EndSetup& setup) {
    WavBackendOptions options;
    options.capture_file = setup.capture;
    options.playback_file = setup.playback;
    options.echo_delay_ms = setup.echo_delay_ms;
    options.echo_gain = setup.echo_gain;
    options.clock = clock_;
    std::string error;
    end.wav = WavAudioBackend::Create(options, error);
    ASSERT_TRUE(end.wav) << error;
    end.channel.call_state.store(6);
    end.levels.volume.store(100);
    end.levels.mic_level.store(100);
    VoiceCodecOptions codec;
    codec.echo_canceller = setup.echo_canceller;
    end.engine = VoiceEngine::Create(end.channel, end.sender, end.levels, end.wav, nullptr, codec);
    ASSERT_TRUE(end.engine);
  }
  std::shared_ptr<PaceClock> clock_;
  CallEnd caller_;
  CallEnd callee_;
};

// Onset (sample) of a 1 kHz burst: the first 5 ms window whose 1 kHz
// magnitude reaches half the largest one.
size_t BurstOnset(const std::vector<int16_t>& x, size_t from = 0) {
  constexpr size_t kWindow = 80;
  std::vector<double> magnitude;
  for (size_t at = from; at + kWindow <= x.size(); at += kWindow) {
    double re = 0, im = 0;
    for (size_t i = 0; i < kWindow; ++i) {
      const double phase = 2.0 * M_PI * 1000.0 * static_cast<double>(at + i) / kRate;
      re += x[at + i] * std::cos(phase);
      im += x[at + i] * std::sin(phase);
    }
    magnitude.push_back(std::hypot(re, im));
  }
  const double peak = *std::max_element(magnitude.begin(), magnitude.end());
  for (size_t w = 0; w < magnitude.size(); ++w)
    if (magnitude[w] >= peak / 2) return from + w * kWindow;
  return 0;
}

// Normalised correlation of x[from, to) with y shifted by `lag` samples.
double Correlation(const std::vector<int16_t>& x, const std::vector<int16_t>& y, size_t from, size_t to, long lag) {
  double xy = 0, xx = 0, yy = 0;
  for (size_t i = from; i < to; ++i) {
    const long j = static_cast<long>(i) + lag;
    const double a = x[i];
    const double b = (j >= 0 && static_cast<size_t>(j) < y.size()) ? y[static_cast<size_t>(j)] : 0.0;
    xy += a * b;
    xx += a * a;
    yy += b * b;
  }
  return (xx > 0 && yy > 0) ? xy / std::sqrt(xx * yy) : 0.0;
}

// The best correlation within ±`span` samples of `lag`, and where it is.
std::pair<double, long> BestCorrelation(const std::vector<int16_t>& x, const std::vector<int16_t>& y, size_t from,
                                        size_t to, long lag, long span) {
  std::pair<double, long> best{-1.0, lag};
  for (long l = lag - span; l <= lag + span; ++l) {
    const double c = Correlation(x, y, from, to, l);
    if (c > best.first) best = {c, l};
  }
  return best;
}

void RunLockStep(ManualPaceClock& clock, Call& call, size_t samples) {
  test::RunSteps(clock, {call.caller().engine.get(), call.callee().engine.get()},
                 static_cast<int>(samples / kBlockFrames));
}

class VoiceCall : public ::testing::Test {
 protected:
  void SetUp() override {
    speech_ = test::ReadSamples(test::AudioDataFile("caller_speech.wav"));
    near_end_ = test::ReadSamples(test::AudioDataFile("callee_speech.wav"));
    ASSERT_FALSE(speech_.empty());
    ASSERT_FALSE(near_end_.empty());
  }
  test::TempDir dir_;
  std::vector<int16_t> speech_;
  std::vector<int16_t> near_end_;
};

// The caller says a sentence and then a 1 kHz burst; the callee's speaker
// plays both after the mouth-to-ear delay, and the speech it plays follows
// the speech sent closely.
TEST_F(VoiceCall, CalleeHearsTheCallersSpeechAndBurst) {
  std::vector<int16_t> said;
  test::AppendSilence(said, 0.2);
  const size_t speech_from = said.size();
  test::Append(said, speech_);
  const size_t speech_to = said.size();
  test::AppendSilence(said, 0.3);
  const size_t burst_at = said.size();
  test::Append(said, test::Tone(1000, 0.25, 0.5));
  test::AppendSilence(said, 0.6);
  test::WriteSamples(dir_ / "said.wav", said);

  auto clock = std::make_shared<ManualPaceClock>();
  Call call(clock, {dir_ / "said.wav", dir_ / "caller_heard.wav"}, {"", dir_ / "callee_heard.wav"});
  call.Start();
  RunLockStep(*clock, call, said.size());
  const auto& callee_stats = call.callee().engine->stats();
  EXPECT_GT(callee_stats.frames_played.load(), said.size() / kBlockFrames - 30);
  call.Finish();

  const auto heard = test::ReadSamples(dir_ / "callee_heard.wav");
  ASSERT_GE(heard.size(), said.size() - 2 * kBlockFrames);
  // Every file started at clock time 0: sample indices are times.
  const long burst_delay = static_cast<long>(BurstOnset(heard, burst_at)) - static_cast<long>(burst_at);
  const auto [correlation, lag] = BestCorrelation(said, heard, speech_from, speech_to, burst_delay, 320);
  // The same measure against speech that was never sent.
  std::vector<int16_t> other(said.size(), 0);
  std::copy(near_end_.begin(), near_end_.end(), other.begin() + static_cast<long>(speech_from));
  const double unrelated = BestCorrelation(other, heard, speech_from, speech_to, burst_delay, 320).first;

  std::printf("mouth-to-ear delay: %.1f ms by the 1 kHz burst, %.1f ms by speech cross-correlation\n",
              burst_delay * 1000.0 / kRate, lag * 1000.0 / kRate);
  std::printf("correlation of received with sent speech: %.3f (unrelated speech: %.3f)\n", correlation, unrelated);
  RecordProperty("mouth_to_ear_ms", static_cast<int>(burst_delay * 1000 / 16000));
  // Capture block, 8 frames in the jitter queue, 6 blocks in the speaker ring.
  EXPECT_GE(burst_delay, static_cast<long>(0.2 * kRate));
  EXPECT_LE(burst_delay, static_cast<long>(0.45 * kRate));
  EXPECT_LE(std::abs(lag - burst_delay), 80);
  EXPECT_GT(correlation, 0.5);
  EXPECT_LT(unrelated, 0.2);
}

// The callee's speaker leaks into its microphone (40 ms, -6 dB) while the
// callee also talks. The caller must hear the callee, and of its own voice
// only what the canceller leaves.
struct EchoRun {
  double echo_energy;      // in the caller's speaker while only the echo can be there
  double converged_echo;   // the same, for the second time the sentence is said
  double near_end_energy;  // in the caller's speaker while the callee talks
};

// The caller says its sentence twice; the callee talks once the echo of it
// has come back. The round trip (two mouth-to-ear delays of about 0.34 s
// and the echo path) stays under 0.8 s.
EchoRun RunEchoCall(const std::string& dir, const std::vector<int16_t>& speech, const std::vector<int16_t>& near_end,
                    bool canceller) {
  constexpr size_t kRoundTrip = static_cast<size_t>(0.8 * kRate);
  std::vector<int16_t> said;
  test::AppendSilence(said, 0.2);
  test::Append(said, speech);
  const size_t second_from = said.size();
  test::Append(said, speech);
  const size_t speech_to = said.size();
  test::AppendSilence(said, 1.5 + near_end.size() / kRate);
  test::WriteSamples(dir + "/said.wav", said);
  std::vector<int16_t> callee_said(speech_to + kRoundTrip, 0);
  const size_t near_from = callee_said.size();
  test::Append(callee_said, near_end);
  test::WriteSamples(dir + "/callee_said.wav", callee_said);

  auto clock = std::make_shared<ManualPaceClock>();
  EndSetup callee{dir + "/callee_said.wav", "", 40, 0.5, canceller};
  Call call(clock, {dir + "/said.wav", dir + "/caller_heard.wav"}, callee);
  call.Start();
  RunLockStep(*clock, call, said.size());
  call.Finish();
  const auto heard = test::ReadSamples(dir + "/caller_heard.wav");
  // The callee's talk needs a mouth-to-ear delay to arrive.
  const size_t echo_to = near_from + kRoundTrip / 3;
  return EchoRun{test::Energy(heard, 0, echo_to), test::Energy(heard, second_from + kRoundTrip, echo_to),
                 test::Energy(heard, echo_to, echo_to + near_end.size())};
}

TEST_F(VoiceCall, EchoCancellerRemovesMostOfTheCallersOwnVoice) {
  const EchoRun on = RunEchoCall(dir_.path(), speech_, near_end_, true);
  const EchoRun off = RunEchoCall(dir_.path(), speech_, near_end_, false);
  const double erle = 10.0 * std::log10(off.echo_energy / std::max(on.echo_energy, 1.0));
  const double converged = 10.0 * std::log10(off.converged_echo / std::max(on.converged_echo, 1.0));
  const double near_end_change = 10.0 * std::log10(on.near_end_energy / std::max(off.near_end_energy, 1.0));
  std::printf("echo return loss enhancement: %.1f dB over both sentences, %.1f dB over the second\n", erle,
              converged);
  std::printf("callee's own speech with the canceller against without: %+.1f dB\n", near_end_change);
  RecordProperty("erle_db", static_cast<int>(erle));
  EXPECT_GT(erle, 10.0);
  EXPECT_GT(converged, 20.0);
  EXPECT_GT(near_end_change, -6.0);  // the callee is still heard
}

// The same call on the real-time clock, briefly: the devices keep pace and
// the burst arrives after about the same delay.
TEST_F(VoiceCall, RealTimeCallCarriesTheBurst) {
  std::vector<int16_t> said;
  test::AppendSilence(said, 0.3);
  const size_t burst_at = said.size();
  test::Append(said, test::Tone(1000, 0.2, 0.5));
  test::AppendSilence(said, 0.7);
  test::WriteSamples(dir_ / "said.wav", said);
  Call call(std::make_shared<SteadyPaceClock>(), {dir_ / "said.wav", ""}, {"", dir_ / "callee_heard.wav"});
  call.caller().engine->StartVoice();
  call.callee().engine->StartVoice();
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  const auto caller_start = call.caller().wav->capture_started();
  const auto callee_start = call.callee().wav->playback_started();
  call.Finish();
  ASSERT_TRUE(caller_start && callee_start);
  const auto heard = test::ReadSamples(dir_ / "callee_heard.wav");
  const double offset_ms = static_cast<double>(*callee_start - *caller_start) / 1e6;
  const double delay_ms = (static_cast<double>(BurstOnset(heard)) - static_cast<double>(burst_at)) * 1000.0 / kRate + offset_ms;
  std::printf("real-time mouth-to-ear delay: %.1f ms\n", delay_ms);
  EXPECT_GT(delay_ms, 150.0);
  EXPECT_LT(delay_ms, 600.0);
}

}  // namespace
}  // namespace orv
