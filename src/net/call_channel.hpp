// The call channel: one per chat window, the conversation's end of the
// network. Every inner type 1 payload from the peer enters it through
// ChannelReceive, which routes the code to the chat, voice or call control
// handlers that the conversation plugs in. The fields keep the protocol's
// order; the handlers own their meaning (chat texts and acknowledgements,
// the voice frame queue, the call state and its tick).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/peer_ref.hpp"

namespace orv {

// Codes of inner type 1, the first word of the data.
enum CallChannelCode : uint32_t {
  kCodeConnectionRequest = 0,
  kCodeConnect = 1,
  kCodeConnectReply = 2,
  kCodeChatText = 3,
  kCodeChatAck = 4,
  kCodeCallRequest = 5,
  kCodeHangUp = 6,
  kCodeInVoice = 7,
  kCodeVoiceFrame = 8,
  kCodeTyping = 9,
  kCodeNotAllowed = 10,
};

constexpr size_t kVoiceQueueSlots = 14;

// A chat message sent and not yet acknowledged.
struct PendingChatMessage {
  uint32_t sequence = 0;
  uint32_t send_count = 0;
  std::u16string text;
  int32_t first_line = 0;  // the range of the history that shows it
  int32_t last_line = 0;
};

// One slot of the voice frame queue; an empty frame is a free slot.
struct VoiceFrameSlot {
  std::vector<uint8_t> frame;
  uint32_t length = 0;
};

struct CallChannel;

// The conversation's handlers of the codes. They run on the receive thread
// without network locks.
class ChannelHandlers {
 public:
  virtual ~ChannelHandlers() = default;
  // Codes 3 and 4: `data` starts with the code word, `length` bytes in all.
  virtual void HandleChatMessage(CallChannel& channel, const uint8_t* data, size_t length) = 0;
  // Code 8: `data` starts with the code word; the frame follows it.
  virtual void QueueVoiceFrame(CallChannel& channel, const uint8_t* data, size_t length) = 0;
  // Codes 1, 2, 5, 6, 7, 9 and 10.
  virtual void HandleCallMessage(CallChannel& channel, uint32_t code) = 0;
};

struct CallChannel {
  // Guards the voice frame queue, and whatever else the conversation's
  // handlers share between the receive thread and the interface thread.
  // Held only briefly, never while a window is told anything.
  std::mutex lock;
  ChannelHandlers* handlers = nullptr;          // null: codes are counted and dropped
  std::atomic<uint32_t> call_state{0};          // 0 "IDLE" .. 6 "IN VOICE"
  std::list<PendingChatMessage> pending;        // in sending order
  std::vector<uint8_t> voice_send_buffer;       // allocated with the first voice frame sent
  uint32_t next_sequence = 0;                   // next outgoing chat number
  std::atomic<uint32_t> silence_counter{0};     // seconds since the last message received
  std::array<VoiceFrameSlot, kVoiceQueueSlots> voice_queue;
  std::atomic<bool> playing{false};
  std::atomic<uint32_t> messages_received{0};
  std::atomic<uint32_t> voice_frames_received{0};
  std::atomic<uint32_t> voice_frames_queued{0};
  uint32_t last_typing_tick = 0;                // milliseconds since start, of the last typing notice
  PeerRef peer;                                 // the target of every send of this channel
};

// The entry of every inner type 1 message into a channel: `data` is what
// follows the inner type, `length` bytes (m). Counts the message; shorter
// than 4 bytes, nothing else happens; otherwise the silence counter goes to
// 0 and codes 1 to 10 reach their handler, others are ignored.
void ChannelReceive(CallChannel& channel, const uint8_t* data, size_t length);

}  // namespace orv
