#include "audio/level_meter.hpp"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace orv {
namespace {

constexpr double kFullScalePower = 1073741824.0;  // 2^30
constexpr double kSmoothing = 0.01;
constexpr auto kBlockWait = std::chrono::milliseconds(100);

}  // namespace

LevelReading LevelReadingOf(double power) {
  LevelReading r;
  if (power > 0.0) {
    const double db = 10.0 * std::log10(power);
    r.decibels = db <= kLevelFloorDb ? kLevelFloorDb : std::min(0, static_cast<int>(db));
  }
  r.bar = r.decibels - kLevelFloorDb;
  r.red = r.decibels >= kLevelRedDb;
  r.text = std::to_string(r.decibels) + " dB";
  return r;
}

std::optional<LevelReading> LevelPower::AddBuffer(const int16_t* samples, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const double s = samples[i];
    power_ += (s * s / kFullScalePower - power_) * kSmoothing;
  }
  if (++buffers_ < kLevelMeterBuffers) return std::nullopt;
  buffers_ = 0;
  return LevelReadingOf(power_);
}

// Shared by the meter and its thread, which may outlive the meter when it
// does not end in time.
struct LevelMeter::State {
  explicit State(LevelMeterSetup s) : setup(std::move(s)), device(setup.device) {}

  LevelMeterSetup setup;  // the callbacks are guarded by callback_mutex
  std::mutex callback_mutex;
  std::atomic<uint32_t> device;
  std::atomic<bool> reopen{false};
  std::atomic<uint64_t> buffers{0};
  std::mutex done_mutex;
  std::condition_variable_any done_changed;
  bool done = false;
  std::jthread thread;

  void Run(std::stop_token stop);
  bool MeasureUntilReopen(AudioCapture& capture, LevelPower& power, std::stop_token stop);
  void Show(AudioCapture& capture, const LevelReading& reading);
  void WaitAfterFailure(std::stop_token stop);
  void Finish();
};

void LevelMeter::State::Run(std::stop_token stop) {
  LevelPower power;
  while (!stop.stop_requested()) {
    reopen = false;
    std::unique_ptr<AudioCapture> capture = setup.backend->OpenCapture(device.load());
    if (!capture || !capture->has_stream()) {
      WaitAfterFailure(stop);
      break;
    }
    if (!MeasureUntilReopen(*capture, power, stop)) break;
  }
  Finish();
}

// Measures every recorded buffer; true when another device was chosen,
// false when the thread is to end.
bool LevelMeter::State::MeasureUntilReopen(AudioCapture& capture, LevelPower& power, std::stop_token stop) {
  while (!stop.stop_requested()) {
    if (reopen.load()) return true;
    capture.block_event().Wait(kBlockWait);
    while (const int16_t* block = capture.NextCaptureBlock()) {
      buffers.fetch_add(1);
      if (auto reading = power.AddBuffer(block, kBlockFrames)) Show(capture, *reading);
    }
  }
  return false;
}

void LevelMeter::State::Show(AudioCapture& capture, const LevelReading& reading) {
  std::lock_guard<std::mutex> hold(callback_mutex);
  if (setup.shown) setup.shown(reading);
  if (setup.mic_level) SetMicrophoneLevel(&capture, setup.mic_level());
}

void LevelMeter::State::WaitAfterFailure(std::stop_token stop) {
  std::mutex mutex;
  std::condition_variable_any never;
  std::unique_lock<std::mutex> lock(mutex);
  never.wait_for(lock, stop, setup.open_failure_wait, [] { return false; });
}

void LevelMeter::State::Finish() {
  std::lock_guard<std::mutex> hold(done_mutex);
  done = true;
  done_changed.notify_all();
}

LevelMeter::LevelMeter(LevelMeterSetup setup) : state_(std::make_shared<State>(std::move(setup))) {
  state_->thread = std::jthread([state = state_](std::stop_token stop) { state->Run(stop); });
}

LevelMeter::~LevelMeter() { Stop(); }

void LevelMeter::SelectDevice(uint32_t device) {
  state_->device = device;
  state_->reopen = true;
}

bool LevelMeter::Stop() {
  State& s = *state_;
  if (!s.thread.joinable()) return true;
  s.thread.request_stop();
  bool ended;
  {
    std::unique_lock<std::mutex> lock(s.done_mutex);
    ended = s.done_changed.wait_for(lock, kLevelMeterStopWait, [&s] { return s.done; });
  }
  if (ended) {
    s.thread.join();
    return true;
  }
  // Left behind: it keeps the state (and the sound system) alive, and
  // shows nothing more.
  {
    std::lock_guard<std::mutex> hold(s.callback_mutex);
    s.setup.shown = nullptr;
    s.setup.mic_level = nullptr;
  }
  s.thread.detach();
  return false;
}

bool LevelMeter::running() const {
  std::lock_guard<std::mutex> hold(state_->done_mutex);
  return !state_->done;
}

uint64_t LevelMeter::buffers() const { return state_->buffers.load(); }

}  // namespace orv
