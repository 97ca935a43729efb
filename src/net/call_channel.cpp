#include "net/call_channel.hpp"

#include "crypto/byte_order.hpp"

namespace orv {

void ChannelReceive(CallChannel& channel, const uint8_t* data, size_t length) {
  channel.messages_received.fetch_add(1);
  if (length < 4) return;
  channel.silence_counter.store(0);
  const uint32_t code = LoadLe32(data);
  if (code < kCodeConnect || code > kCodeNotAllowed) return;
  if (code == kCodeVoiceFrame) channel.voice_frames_received.fetch_add(1);
  ChannelHandlers* handlers = channel.handlers;
  if (!handlers) return;
  switch (code) {
    case kCodeChatText:
    case kCodeChatAck:
      handlers->HandleChatMessage(channel, data, length);
      break;
    case kCodeVoiceFrame:
      handlers->QueueVoiceFrame(channel, data, length);
      break;
    default:
      handlers->HandleCallMessage(channel, code);
      break;
  }
}

}  // namespace orv
