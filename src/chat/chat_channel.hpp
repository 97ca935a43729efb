// The chat fields of a call channel: the pending messages, the two
// sequence numbers and the receive window. Each operation takes the
// channel lock for its whole run, so an acknowledgement never unlinks a
// message while the tick copies it for resending, and the receive thread
// and the interface thread never see half a reset.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "chat/call_control.hpp"
#include "net/call_channel.hpp"

namespace orv {

struct OutgoingChat {
  CallActions actions;  // code 1 and state-changed when the channel was idle
  bool restarted = false;  // code 1 goes out: a peer without numbering restarts its numbers
  uint32_t sequence = 0;
  uint32_t lowest_pending = 0;  // the lowest number waiting for its acknowledgement
};

// SendChatMessage's bookkeeping: an idle channel goes to "CONNECTION"
// (code 1); the message is appended to the pending list under the next
// number (numbers never restart in a channel), counted as sent once.
OutgoingChat QueueChatMessage(CallChannel& channel, std::u16string_view text, int32_t line_id);

// Copies of the pending messages in sending order, each counted as sent
// once more.
std::vector<PendingChatMessage> CollectResends(CallChannel& channel);

// Code 4: unlinks the pending message with that number; its line id.
std::optional<int32_t> TakeAcknowledged(CallChannel& channel, uint32_t sequence);

size_t PendingCount(CallChannel& channel);

}  // namespace orv
