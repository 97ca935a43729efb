#include "audio/jitter_queue.hpp"

#include "audio/voice_codec.hpp"

namespace orv {
namespace {

constexpr uint32_t kInVoice = 6;
constexpr size_t kCodeBytes = 4;

}  // namespace

void QueueVoiceFrame(CallChannel& channel, const uint8_t* data, size_t length) {
  if (channel.call_state.load() != kInVoice) return;
  if (length <= kCodeBytes || length - kCodeBytes > kMaxVoiceFrameBytes) return;
  const size_t bytes = length - kCodeBytes;
  size_t slot = 0;
  {
    std::lock_guard<std::mutex> hold(channel.lock);
    while (slot < kVoiceQueueSlots && !channel.voice_queue[slot].frame.empty()) ++slot;
    if (slot < kVoiceQueueSlots) {
      VoiceFrameSlot& free_slot = channel.voice_queue[slot];
      free_slot.frame.assign(data + kCodeBytes, data + length);
      free_slot.length = static_cast<uint32_t>(bytes);
      channel.voice_frames_queued.fetch_add(1);
    }
  }
  if (slot >= kPlayOutSlot) channel.playing.store(true);
}

void TakeVoiceFrame(CallChannel& channel, std::vector<uint8_t>& frame) {
  frame.clear();
  if (channel.call_state.load() != kInVoice || !channel.playing.load()) return;
  std::lock_guard<std::mutex> hold(channel.lock);
  auto& queue = channel.voice_queue;
  if (queue[0].frame.empty()) {
    channel.playing.store(false);
    return;
  }
  frame.swap(queue[0].frame);
  for (size_t i = 1; i < kVoiceQueueSlots; ++i) {
    queue[i - 1].frame.swap(queue[i].frame);
    queue[i - 1].length = queue[i].length;
  }
  // `frame` now holds slot 0's bytes; the last slot gets the storage the
  // caller handed in, emptied.
  queue[kVoiceQueueSlots - 1].frame.clear();
  queue[kVoiceQueueSlots - 1].length = 0;
}

}  // namespace orv
