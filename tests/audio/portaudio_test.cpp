// PortAudio against a real sound server: the test starts its own PulseAudio
// with a null sink, whose monitor is the default microphone, so whatever
// the speaker plays is recorded again. Skipped when PulseAudio cannot start.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "audio/portaudio_backend.hpp"
#include "audio/voice_engine.hpp"
#include "audio_harness.hpp"
#include "support/temp_dir.hpp"

extern char** environ;

// The sound libraries keep caches for the life of the process and load
// plugins they unload again; their allocations are not ours to check.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libasound\nleak:libpulse\nleak:libjack\nleak:libportaudio\n";
}

namespace orv {
namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class PulseServer {
 public:
  explicit PulseServer(const std::string& dir)
      : socket_(dir + "/pulse.sock"), runtime_(dir + "/run"),
        xdg_(("XDG_RUNTIME_DIR"), runtime_), server_("PULSE_SERVER", "unix:" + socket_) {
    ::mkdir(runtime_.c_str(), 0700);
    const std::string native = "module-native-protocol-unix auth-anonymous=1 socket=" + socket_;
    const std::string sink = "module-null-sink sink_name=ci rate=16000 channels=1 norewinds=1";
    const char* argv[] = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                          "-L", native.c_str(), "-L", sink.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir + "/pulse.log";
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ == 0) {
      problem_ = "pulseaudio is not installed";
      return;
    }
    // Up to 5 s for the server to answer, then make the null sink's monitor
    // the default microphone.
    for (int tries = 0; tries < 50 && !ready_; ++tries) {
      ready_ = std::system("pactl info >/dev/null 2>&1") == 0;
      if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ready_ = ready_ && std::system("pactl set-default-sink ci >/dev/null 2>&1") == 0 &&
             std::system("pactl set-default-source ci.monitor >/dev/null 2>&1") == 0;
    if (!ready_) problem_ = "pulseaudio did not start (see " + log + ")";
  }
  ~PulseServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  bool ready() const { return ready_; }
  const std::string& problem() const { return problem_; }

 private:
  std::string socket_;
  std::string runtime_;
  ScopedEnv xdg_;
  ScopedEnv server_;
  pid_t pid_ = 0;
  bool ready_ = false;
  std::string problem_;
};

double ToneMagnitude(const std::vector<int16_t>& x, double hz) {
  double re = 0, im = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    re += x[i] * std::cos(2 * M_PI * hz * i / 16000.0);
    im += x[i] * std::sin(2 * M_PI * hz * i / 16000.0);
  }
  return std::hypot(re, im) / static_cast<double>(std::max<size_t>(x.size(), 1));
}

// Keeps the ALSA plugins loaded, so that what they leave behind is still
// known to be theirs when the process ends.
void PinAlsaPlugins() {
  const std::filesystem::path dir = "/usr/lib/x86_64-linux-gnu/alsa-lib";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    ::dlopen(entry.path().c_str(), RTLD_LAZY | RTLD_NODELETE);
}

// Whatever the machine has, a device number that names nothing opens dead
// devices: never set events, no blocks, no crash.
TEST(PortAudio, DeviceThatCannotOpenGivesADeadObject) {
  PinAlsaPlugins();
  PortAudioBackend backend;
  auto capture = backend.OpenCapture(4000);
  auto playback = backend.OpenPlayback(4000, 1, 16000);
  EXPECT_FALSE(capture->has_stream());
  EXPECT_FALSE(playback->has_stream());
  EXPECT_FALSE(capture->block_event().Wait(std::chrono::milliseconds(50)));
  EXPECT_EQ(capture->NextCaptureBlock(), nullptr);
  EXPECT_EQ(playback->NextPlaybackBlock(), nullptr);
}

class PortAudioPulse : public ::testing::Test {
 protected:
  void SetUp() override {
    PinAlsaPlugins();
    pulse_ = std::make_unique<PulseServer>(dir_.path());
    if (!pulse_->ready()) GTEST_SKIP() << "PortAudio test skipped: " << pulse_->problem();
    backend_ = std::make_shared<PortAudioBackend>();
    if (!backend_->initialized()) GTEST_SKIP() << "PortAudio test skipped: PortAudio did not initialise";
  }
  void TearDown() override {
    backend_.reset();
    pulse_.reset();
  }
  test::TempDir dir_;
  std::unique_ptr<PulseServer> pulse_;
  std::shared_ptr<PortAudioBackend> backend_;
};

TEST_F(PortAudioPulse, DevicesAreFoundByName) {
  EXPECT_EQ(backend_->FindCaptureDevice("default"), kDefaultAudioDevice);
  EXPECT_EQ(backend_->FindPlaybackDevice("no such speaker"), kDefaultAudioDevice);
  const auto names = backend_->CaptureDeviceNames();
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    if (name == "default") continue;
    EXPECT_NE(backend_->FindCaptureDevice(name), kDefaultAudioDevice) << name;
  }
}

TEST_F(PortAudioPulse, WhatTheSpeakerPlaysTheMicrophoneRecords) {
  auto playback = backend_->OpenPlayback(kDefaultAudioDevice, 1, 16000);
  auto capture = backend_->OpenCapture(kDefaultAudioDevice);
  ASSERT_TRUE(playback->has_stream() && capture->has_stream()) << "PortAudio could not open the default devices";
  const auto tone = test::Tone(1000, 0.02, 0.5);
  std::vector<int16_t> recorded;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < end && recorded.size() < 16000 * 3 / 2) {
    WaitForBoth(playback->block_event(), capture->block_event(), std::chrono::milliseconds(100));
    while (int16_t* block = playback->NextPlaybackBlock()) std::copy(tone.begin(), tone.end(), block);
    while (const int16_t* block = capture->NextCaptureBlock()) recorded.insert(recorded.end(), block, block + kBlockFrames);
  }
  ASSERT_GT(recorded.size(), 16000u / 2) << "the microphone delivered too little";
  const std::vector<int16_t> tail(recorded.end() - 8000, recorded.end());
  const double at_1k = ToneMagnitude(tail, 1000);
  const double at_1k5 = ToneMagnitude(tail, 1500);
  std::printf("recorded %zu samples; 1 kHz magnitude %.0f, 1.5 kHz %.0f\n", recorded.size(), at_1k, at_1k5);
  EXPECT_GT(at_1k, 2000.0);  // a 0.5 tone has magnitude about 8200
  EXPECT_GT(at_1k, 20 * at_1k5);
}

TEST_F(PortAudioPulse, VoiceEngineKeepsPaceWithTheDevices) {
  CallChannel channel;
  channel.call_state.store(6);
  VoiceLevels levels;
  test::LoopbackSender sender;
  auto engine = VoiceEngine::Create(channel, sender, levels, backend_, nullptr);
  ASSERT_TRUE(engine);
  engine->StartVoice();
  ASSERT_TRUE(test::WaitFor([&] { return engine->stats().frames_sent.load() > 0; }));
  const uint64_t first = engine->stats().frames_sent.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  const uint64_t sent = engine->stats().frames_sent.load() - first;
  engine.reset();
  std::printf("frames sent in a second: %llu\n", static_cast<unsigned long long>(sent));
  EXPECT_GT(sent, 35u);
  EXPECT_LT(sent, 65u);
}

}  // namespace
}  // namespace orv
