#include "chat/chat_window_table.hpp"

namespace orv {

using Guard = std::lock_guard<std::mutex>;

std::shared_ptr<Conversation> ChatWindowTable::Route(const PeerRef& sender, bool& adopted) {
  Guard guard(lock_);
  adopted = false;
  for (const ChatWindowEntry& entry : entries_)
    if (entry.window != 0 && SameUserId(entry.user_id, sender.user_id)) return entry.data;
  // No conversation with this user is open: one opened by the address the
  // sender writes from takes its identity. A stranger writing from another
  // address is never taken in.
  for (ChatWindowEntry& entry : entries_) {
    if (entry.window == 0 || !IsZeroUserId(entry.user_id)) continue;
    if (entry.ipv4 != sender.ipv4 || entry.port != sender.port) continue;
    CopyUserId(entry.user_id, sender.user_id);
    adopted = true;
    return entry.data;
  }
  return nullptr;
}

std::shared_ptr<Conversation> ChatWindowTable::FindByUserId(const uint32_t* user_id) const {
  Guard guard(lock_);
  for (const ChatWindowEntry& entry : entries_)
    if (entry.window != 0 && SameUserId(entry.user_id, user_id)) return entry.data;
  return nullptr;
}

std::shared_ptr<Conversation> ChatWindowTable::FindByAddress(uint32_t ipv4, uint16_t port) const {
  Guard guard(lock_);
  for (const ChatWindowEntry& entry : entries_)
    if (entry.window != 0 && IsZeroUserId(entry.user_id) && entry.ipv4 == ipv4 && entry.port == port)
      return entry.data;
  return nullptr;
}

const ChatWindowEntry* ChatWindowTable::FindEntry(ConversationId id) const {
  for (const ChatWindowEntry& entry : entries_)
    if (entry.window == id) return &entry;
  return nullptr;
}

std::shared_ptr<Conversation> ChatWindowTable::Get(ConversationId id) const {
  Guard guard(lock_);
  const ChatWindowEntry* entry = id ? FindEntry(id) : nullptr;
  return entry ? entry->data : nullptr;
}

void ChatWindowTable::Insert(ConversationId id, const PeerRef& peer, std::shared_ptr<Conversation> data) {
  Guard guard(lock_);
  ChatWindowEntry* slot = nullptr;
  for (ChatWindowEntry& entry : entries_)
    if (entry.window == 0 && !slot) slot = &entry;
  if (!slot) {
    const size_t used = entries_.size();
    entries_.resize(used + kChatTableGrowth);
    slot = &entries_[used];
  }
  slot->window = id;
  CopyUserId(slot->user_id, peer.user_id);
  slot->ipv4 = peer.ipv4;
  slot->port = peer.port;
  slot->data = std::move(data);
}

std::shared_ptr<Conversation> ChatWindowTable::Remove(ConversationId id) {
  Guard guard(lock_);
  for (ChatWindowEntry& entry : entries_) {
    if (id == 0 || entry.window != id) continue;
    std::shared_ptr<Conversation> data = std::move(entry.data);
    entry = ChatWindowEntry{};
    return data;
  }
  return nullptr;
}

std::vector<std::shared_ptr<Conversation>> ChatWindowTable::All() const {
  Guard guard(lock_);
  std::vector<std::shared_ptr<Conversation>> all;
  for (const ChatWindowEntry& entry : entries_)
    if (entry.window != 0) all.push_back(entry.data);
  return all;
}

size_t ChatWindowTable::capacity() const {
  Guard guard(lock_);
  return entries_.size();
}

}  // namespace orv
