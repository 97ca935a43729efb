#include "audio/voice_engine.hpp"

#include <chrono>
#include <condition_variable>
#include <cstring>

#include "audio/jitter_queue.hpp"
#include "crypto/byte_order.hpp"

namespace orv {
namespace {

constexpr uint32_t kDialing = 5;
constexpr uint32_t kInVoice = 6;
constexpr uint32_t kCallChannelType = 1;
constexpr auto kPassWait = std::chrono::milliseconds(100);

// Sleeps `wait` unless a stop is requested first.
void SleepUnlessStopped(std::stop_token stop, std::chrono::milliseconds wait) {
  std::mutex mutex;
  std::condition_variable_any never;
  std::unique_lock<std::mutex> hold(mutex);
  never.wait_for(hold, stop, wait, [] { return false; });
}

}  // namespace

std::unique_ptr<VoiceEngine> VoiceEngine::Create(CallChannel& channel, PayloadSender& sender, VoiceLevels& levels,
                                                 std::shared_ptr<AudioBackend> backend,
                                                 std::shared_ptr<const AudioDeviceChoice> devices,
                                                 const VoiceCodecOptions& codec_options) {
  auto codec = CreateVoiceCodec(codec_options);
  if (!codec || !backend) return nullptr;
  if (!devices) devices = std::make_shared<AudioDeviceChoice>();
  return std::unique_ptr<VoiceEngine>(
      new VoiceEngine(channel, sender, levels, std::move(backend), std::move(devices), std::move(codec)));
}

VoiceEngine::VoiceEngine(CallChannel& channel, PayloadSender& sender, VoiceLevels& levels,
                         std::shared_ptr<AudioBackend> backend, std::shared_ptr<const AudioDeviceChoice> devices,
                         std::unique_ptr<VoiceCodec> codec)
    : channel_(channel), sender_(sender), levels_(levels), backend_(std::move(backend)),
      devices_(std::move(devices)), codec_(std::move(codec)) {
  frame_.reserve(kMaxVoiceFrameBytes);
}

VoiceEngine::~VoiceEngine() {
  std::lock_guard<std::mutex> hold(thread_mutex_);
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

void VoiceEngine::StartVoice() {
  std::lock_guard<std::mutex> hold(thread_mutex_);
  if (thread_.joinable() && !thread_.get_stop_token().stop_requested() && !thread_done_.load()) return;
  // A thread told to stop may still be closing its devices: the new one
  // waits for it before it touches the codec.
  std::jthread previous = std::move(thread_);
  previous.request_stop();
  thread_done_.store(false);
  thread_ = std::jthread([this, previous = std::move(previous)](std::stop_token stop) mutable {
    if (previous.joinable()) previous.join();
    VoiceThread(stop);
    thread_done_.store(true);
  });
}

void VoiceEngine::StopVoice() {
  std::lock_guard<std::mutex> hold(thread_mutex_);
  thread_.request_stop();
}

bool VoiceEngine::VoiceRunning() const {
  std::lock_guard<std::mutex> hold(thread_mutex_);
  return thread_.joinable() && !thread_.get_stop_token().stop_requested() && !thread_done_.load();
}

void VoiceEngine::QueueVoiceFrame(const uint8_t* data, size_t length) { orv::QueueVoiceFrame(channel_, data, length); }

void VoiceEngine::VoiceThread(std::stop_token stop) {
  reopen_.store(true);
  while (!stop.stop_requested()) {
    if (reopen_.exchange(false)) Reopen();
    if (!capture_ || !playback_) {
      reopen_.store(true);
      SleepUnlessStopped(stop, kPassWait);
      continue;
    }
    ApplyLevels();
    if (!WaitForBoth(playback_->block_event(), capture_->block_event(), kPassWait)) continue;
    if (!capture_->CaptureBlockReady()) continue;
    bool in_call = true;
    while (in_call && playback_->PlaybackBlockFree() && capture_->CaptureBlockReady()) in_call = Step();
    if (!in_call) break;
  }
  CloseDevices();
}

void VoiceEngine::Reopen() {
  CloseDevices();
  capture_ = backend_->OpenCapture(devices_->input.load());
  playback_ = backend_->OpenPlayback(devices_->output.load(), 1, kCaptureRate);
  stats_.reopens.fetch_add(1);
  applied_volume_ = applied_mic_level_ = -1;
  ApplyLevels();
  if (!capture_ || !playback_) return;  // the thread retries after a pause
  // Whatever the devices finished while they opened is stale: play silence
  // for it and forget what was recorded.
  while (int16_t* block = playback_->NextPlaybackBlock()) std::memset(block, 0, kBlockFrames * sizeof(int16_t));
  playback_->block_event().Reset();
  while (capture_->NextCaptureBlock()) {
  }
  capture_->block_event().Reset();
}

void VoiceEngine::ApplyLevels() {
  const int32_t volume = levels_.volume.load();
  if (volume != applied_volume_) {
    applied_volume_ = volume;
    SetPlaybackVolume(playback_.get(), static_cast<uint16_t>(std::max(volume, 0)));
  }
  const int32_t mic_level = levels_.mic_level.load();
  if (mic_level != applied_mic_level_) {
    applied_mic_level_ = mic_level;
    SetMicrophoneLevel(capture_.get(), static_cast<uint16_t>(std::max(mic_level, 0)));
  }
}

bool VoiceEngine::Step() {
  int16_t* microphone = capture_->NextCaptureBlock();
  int16_t* speaker = playback_->NextPlaybackBlock();
  const uint32_t state = channel_.call_state.load();
  if (state < kDialing) return false;  // the conversation stops this thread
  if (levels_.mute.load()) std::memset(microphone, 0, kBlockFrames * sizeof(int16_t));
  ApplyAutomaticGain(*codec_);

  TakeVoiceFrame(channel_, frame_);
  DecodeVoiceFrame(*codec_, frame_.data(), frame_.size(), speaker);
  if (!frame_.empty()) stats_.frames_played.fetch_add(1);
  FeedDelayLine(*codec_, speaker);

  int16_t clean[kVoiceFrameSamples];
  CleanMicrophone(*codec_, microphone, clean);
  uint8_t encoded[kMaxVoiceFrameBytes];
  const size_t n = EncodeVoiceFrame(*codec_, clean, encoded);
  if (channel_.call_state.load() == kInVoice) SendFrame(encoded, n);
  stats_.steps.fetch_add(1);
  return true;
}

void VoiceEngine::SendFrame(const uint8_t* frame, size_t length) {
  std::vector<uint8_t>& buffer = channel_.voice_send_buffer;
  if (buffer.empty()) buffer.resize(std::max(4 * (length + 1), 4 + kMaxVoiceFrameBytes));
  StoreLe32(buffer.data(), kCodeVoiceFrame);
  std::memcpy(buffer.data() + 4, frame, length);
  sender_.SendPayload(channel_.peer, kCallChannelType, buffer.data(), static_cast<uint32_t>(4 + length));
  stats_.frames_sent.fetch_add(1);
}

void VoiceEngine::CloseDevices() {
  CloseCapture(capture_);
  ClosePlayback(playback_);
}

}  // namespace orv
