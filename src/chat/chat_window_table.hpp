// The table of open conversations (the chat window table): one entry per
// conversation with the peer's UserId (all zero while a conversation
// opened by address has not heard its peer yet) and address. The array
// grows by 20 entries when no entry is free; an entry is freed by clearing
// it, never by shrinking. Every read and change holds the chat table lock,
// which is held briefly and never while a conversation is told anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "chat/conversation.hpp"
#include "net/peer_ref.hpp"

namespace orv {

constexpr size_t kChatTableGrowth = 20;

struct ChatWindowEntry {
  ConversationId window = 0;  // 0: a free entry
  uint32_t user_id[kUserIdWords] = {};
  uint32_t ipv4 = 0;
  uint16_t port = 0;
  std::shared_ptr<Conversation> data;
};

class ChatWindowTable {
 public:
  // The entry with the sender's UserId; without one, the first entry opened
  // by the sender's address (ip and port) that has no identity yet, which
  // takes the sender's UserId (`adopted` says so). None otherwise.
  std::shared_ptr<Conversation> Route(const PeerRef& sender, bool& adopted);
  std::shared_ptr<Conversation> FindByUserId(const uint32_t* user_id) const;
  // A conversation opened by address that has not taken an identity yet.
  std::shared_ptr<Conversation> FindByAddress(uint32_t ipv4, uint16_t port) const;
  std::shared_ptr<Conversation> Get(ConversationId id) const;
  // Takes the first free entry, growing the array by 20 when none is.
  void Insert(ConversationId id, const PeerRef& peer, std::shared_ptr<Conversation> data);
  // Frees the entry; the conversation it held.
  std::shared_ptr<Conversation> Remove(ConversationId id);
  // Every conversation, in table order.
  std::vector<std::shared_ptr<Conversation>> All() const;
  size_t capacity() const;

 private:
  const ChatWindowEntry* FindEntry(ConversationId id) const;
  mutable std::mutex lock_;  // the chat table lock
  std::vector<ChatWindowEntry> entries_;
};

}  // namespace orv
