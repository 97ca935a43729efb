// Cost of voice: one 20 ms step of a call's voice engine (capture → echo
// cancellation → preprocessing → encoding, and decoding → playback), the
// codec alone (the floor under it), the step with sealing and opening of
// its packets as a whole call end does it, and the memory of one call.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "alloc_counter.hpp"
#include "audio/audio_device.hpp"
#include "audio/jitter_queue.hpp"
#include "audio/voice_codec.hpp"
#include "audio/wave_format.hpp"
#include "crypto/byte_order.hpp"
#include "crypto/packet_seal.hpp"
#include "net/call_channel.hpp"

namespace orv {
namespace {

constexpr double kStepSeconds = 0.020;

// The committed test sentence, as the microphone's blocks.
const std::vector<int16_t>& Speech() {
  static const std::vector<int16_t> speech = [] {
    std::string here = __FILE__;
    const std::string path = here.substr(0, here.find_last_of('/')) + "/../tests/audio/data/caller_speech.wav";
    std::string error;
    auto samples = ReadMonoWave16k(path, error);
    std::vector<int16_t> s = samples ? *samples : std::vector<int16_t>(16000 * 3, 0);
    s.resize(s.size() / kVoiceFrameSamples * kVoiceFrameSamples);
    return s;
  }();
  return speech;
}

const int16_t* Block(size_t step) {
  const auto& s = Speech();
  return s.data() + (step % (s.size() / kVoiceFrameSamples)) * kVoiceFrameSamples;
}

// The sentence as the peer sends it: voice messages (code 8 and a frame).
std::vector<std::vector<uint8_t>> PeerMessages() {
  auto codec = CreateVoiceCodec();
  std::vector<std::vector<uint8_t>> messages;
  for (size_t i = 0; i < Speech().size() / kVoiceFrameSamples; ++i) {
    uint8_t frame[kMaxVoiceFrameBytes];
    const size_t n = EncodeVoiceFrame(*codec, Block(i), frame);
    std::vector<uint8_t> m(4 + n);
    StoreLe32(m.data(), kCodeVoiceFrame);
    std::memcpy(m.data() + 4, frame, n);
    messages.push_back(std::move(m));
  }
  return messages;
}

void ReportLoad(benchmark::State& state) {
  // elapsed / (iterations × 20 ms / 100): the share of one core a call end keeps busy.
  state.counters["core%"] = benchmark::Counter(static_cast<double>(state.iterations()) * kStepSeconds / 100.0,
                                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The floor: encode one block, decode one frame.
void BM_CodecFloor(benchmark::State& state) {
  auto codec = CreateVoiceCodec();
  const auto messages = PeerMessages();
  int16_t speaker[kVoiceFrameSamples];
  uint8_t frame[kMaxVoiceFrameBytes];
  size_t step = 0;
  AllocationReport report(state);
  for (auto _ : state) {
    const auto& m = messages[step % messages.size()];
    DecodeVoiceFrame(*codec, m.data() + 4, m.size() - 4, speaker);
    benchmark::DoNotOptimize(EncodeVoiceFrame(*codec, Block(step), frame));
    ++step;
  }
  ReportLoad(state);
}
BENCHMARK(BM_CodecFloor)->Unit(benchmark::kMicrosecond);

// One end of a call in its stride: the received frame is queued (as the
// receive thread does) and played from the jitter queue; the speaker block
// feeds the delay line; the microphone (speech plus the speaker's echo) is
// cleaned and encoded into the voice message sent.
struct CallEnd {
  std::unique_ptr<VoiceCodec> codec = CreateVoiceCodec();
  CallChannel channel;
  std::vector<std::vector<uint8_t>> messages = PeerMessages();
  std::vector<uint8_t> frame;
  std::array<int16_t, kVoiceFrameSamples> speaker{};
  size_t step = 0;

  CallEnd() {
    channel.call_state.store(6);
    for (size_t i = 0; i < 8; ++i) Receive();
  }
  void Receive() {
    const auto& m = messages[step % messages.size()];
    QueueVoiceFrame(channel, m.data(), m.size());
  }
  // Returns the voice message to send and its length.
  size_t Step() {
    Receive();
    TakeVoiceFrame(channel, frame);
    DecodeVoiceFrame(*codec, frame.data(), frame.size(), speaker.data());
    FeedDelayLine(*codec, speaker.data());
    int16_t microphone[kVoiceFrameSamples];
    const int16_t* said = Block(step + 100);
    for (size_t i = 0; i < kVoiceFrameSamples; ++i) microphone[i] = static_cast<int16_t>(said[i] / 2 + codec->reference[i] / 4);
    int16_t clean[kVoiceFrameSamples];
    CleanMicrophone(*codec, microphone, clean);
    uint8_t encoded[kMaxVoiceFrameBytes];
    const size_t n = EncodeVoiceFrame(*codec, clean, encoded);
    std::vector<uint8_t>& out = channel.voice_send_buffer;
    if (out.empty()) out.resize(std::max(4 * (n + 1), 4 + kMaxVoiceFrameBytes));
    StoreLe32(out.data(), kCodeVoiceFrame);
    std::memcpy(out.data() + 4, encoded, n);
    ++step;
    return 4 + n;
  }
};

void BM_VoiceStep(benchmark::State& state) {
  CallEnd end;
  for (int i = 0; i < 50; ++i) end.Step();  // warm: buffers in place, canceller adapting
  AllocationReport report(state);
  for (auto _ : state) benchmark::DoNotOptimize(end.Step());
  ReportLoad(state);
}
BENCHMARK(BM_VoiceStep)->Unit(benchmark::kMicrosecond);

// The step with what the network adds per step and end: the voice message
// sealed for sending (which stirs the random pool) and one of the peer's
// opened (sealed beforehand, outside the timing).
constexpr int kSealedSteps = 4000;

void BM_CallStepPerEnd(benchmark::State& state) {
  CallEnd end;
  for (int i = 0; i < 50; ++i) end.Step();
  KeystreamGenerator send, peer_send, receive;
  std::array<uint32_t, kKeyBlockWords> key{};
  for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint32_t>(0x9E3779B9u * (i + 1));
  KeystreamLoad(send, key.data());
  KeystreamLoad(peer_send, key.data());
  KeystreamLoad(receive, key.data());
  std::array<uint8_t, 4 + 4 + kMaxVoiceFrameBytes> payload{};
  StoreLe32(payload.data(), 1);  // inner type 1
  std::vector<std::vector<uint8_t>> arriving;
  for (int i = 0; i < kSealedSteps; ++i) {
    const auto& m = end.messages[static_cast<size_t>(i) % end.messages.size()];
    std::memcpy(payload.data() + 4, m.data(), m.size());
    std::vector<uint8_t> packet(4 + m.size() + kSealOverhead);
    packet.resize(SealPacket(peer_send, packet.data(), payload.data(), 4 + m.size()));
    arriving.push_back(std::move(packet));
  }
  std::array<uint8_t, sizeof(payload) + kSealOverhead> sealed{};
  std::array<uint8_t, sizeof(payload)> opened{};
  size_t next = 0;
  AllocationReport report(state);
  for (auto _ : state) {
    const size_t n = end.Step();
    std::memcpy(payload.data() + 4, end.channel.voice_send_buffer.data(), n);
    benchmark::DoNotOptimize(SealPacket(send, sealed.data(), payload.data(), 4 + n));
    const auto& packet = arriving[next++];
    benchmark::DoNotOptimize(OpenPacket(receive, opened.data(), opened.size(), packet.data(), packet.size()));
  }
  ReportLoad(state);
}
BENCHMARK(BM_CallStepPerEnd)->Unit(benchmark::kMicrosecond)->Iterations(kSealedSteps);

// Heap of one call: the codec (with the canceller and preprocessor), the
// two device rings and a full jitter queue of the largest frames.
void BM_MemoryPerCall(benchmark::State& state) {
  size_t codec_bytes = 0, device_bytes = 0, queue_bytes = 0;
  for (auto _ : state) {
    const size_t before = mallinfo2().uordblks;
    auto codec = CreateVoiceCodec();
    const size_t with_codec = mallinfo2().uordblks;
    auto capture = std::make_unique<AudioCapture>();
    auto playback = std::make_unique<AudioPlayback>(1, 16000);
    const size_t with_devices = mallinfo2().uordblks;
    CallChannel channel;
    channel.call_state.store(6);
    std::vector<uint8_t> message(4 + kMaxVoiceFrameBytes, 1);
    StoreLe32(message.data(), kCodeVoiceFrame);
    const size_t before_queue = mallinfo2().uordblks;
    for (size_t i = 0; i < kVoiceQueueSlots; ++i) QueueVoiceFrame(channel, message.data(), message.size());
    queue_bytes = mallinfo2().uordblks - before_queue;
    codec_bytes = with_codec - before;
    device_bytes = with_devices - with_codec;
  }
  state.counters["codec_bytes"] = static_cast<double>(codec_bytes);
  state.counters["device_bytes"] = static_cast<double>(device_bytes);
  state.counters["queue_bytes"] = static_cast<double>(queue_bytes);
  state.counters["call_bytes"] = static_cast<double>(codec_bytes + device_bytes + queue_bytes);
}
BENCHMARK(BM_MemoryPerCall)->Unit(benchmark::kMicrosecond)->Iterations(20);

}  // namespace
}  // namespace orv
