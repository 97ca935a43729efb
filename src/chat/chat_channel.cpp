#include "chat/chat_channel.hpp"

#include <mutex>

namespace orv {

using Guard = std::lock_guard<std::mutex>;

OutgoingChat QueueChatMessage(CallChannel& channel, std::u16string_view text, int32_t line_id) {
  OutgoingChat out;
  Guard guard(channel.lock);
  if (channel.call_state.load() == kCallIdle) {
    channel.call_state.store(kCallConnection);
    out.actions.Send(kCodeConnect);
    out.actions.state_changed = true;
    out.restarted = true;
  }
  PendingChatMessage message;
  message.sequence = channel.next_sequence++;
  message.send_count = 1;
  message.text.assign(text);
  message.first_line = line_id;
  message.last_line = line_id;
  channel.pending.push_back(std::move(message));
  out.sequence = channel.pending.back().sequence;
  out.lowest_pending = channel.pending.front().sequence;
  return out;
}

std::vector<PendingChatMessage> CollectResends(CallChannel& channel) {
  Guard guard(channel.lock);
  std::vector<PendingChatMessage> copies;
  copies.reserve(channel.pending.size());
  for (PendingChatMessage& message : channel.pending) {
    ++message.send_count;
    copies.push_back(message);
  }
  return copies;
}

std::optional<int32_t> TakeAcknowledged(CallChannel& channel, uint32_t sequence) {
  Guard guard(channel.lock);
  for (auto it = channel.pending.begin(); it != channel.pending.end(); ++it) {
    if (it->sequence != sequence) continue;
    const int32_t line = it->first_line;
    channel.pending.erase(it);
    return line;
  }
  return std::nullopt;
}

size_t PendingCount(CallChannel& channel) {
  Guard guard(channel.lock);
  return channel.pending.size();
}

}  // namespace orv
