// The conversations of one node: the chat window table, the main window's
// part in it (a peer without a conversation, a connection request) and the
// one-second tick of every conversation. The endpoint reaches it as its
// ConversationTable on the receive thread; everything else is called on
// the interface thread, where every event is delivered.
//
// Shutdown: take it out of the endpoint's consumers (SetNetworkConsumers)
// before it goes, so that no receive thread still holds one of its
// channels.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chat/chat_window_table.hpp"
#include "chat/conversation.hpp"
#include "net/consumers.hpp"

namespace orv {

// The dispatcher timer that ticks the conversations once a second.
constexpr TimerId kConversationTimer = 0x43484154;  // "CHAT"
constexpr uint32_t kConversationTickMs = 1000;

struct ConversationSettings {
  bool allow_anyone = false;              // `AllowAnyone`
  bool allow_connection_request = false;  // `AllowConnectionRequest`
  bool save_chat_to_file = false;         // `SaveChatToFile`
  std::string log_folder;                 // the profile folder, home of the chat logs
};

struct ConversationServices {
  Dispatcher* dispatcher = nullptr;
  PayloadSender* sender = nullptr;
  ConversationEvents* events = nullptr;
  ConversationNetwork* network = nullptr;
  ContactDirectory* contacts = nullptr;  // none: nobody is a contact
  VoiceProvider* voice = nullptr;        // none: calls run silently
  ChatLogKeys* log_keys = nullptr;       // none: no chat log
  // The DHT's way to an address for a UserId the peer table does not know
  // (LocateUser); none: only the peer table is asked.
  std::function<bool(const uint32_t* user_id, PeerRef& out)> locate;
  std::function<std::u16string()> line_stamp;  // default: the local date and time
  std::function<uint32_t()> clock_ms;          // default: the steady clock
  bool start_timer = true;                     // tests tick by hand
};

struct ConversationSummary {
  ConversationId id = 0;
  PeerRef peer;
  uint32_t call_state = 0;
  size_t pending = 0;  // chat messages not yet acknowledged
};

class Conversations : public ConversationTable {
 public:
  Conversations(const ConversationServices& services, const ConversationSettings& settings);
  ~Conversations() override;  // closes every conversation
  Conversations(const Conversations&) = delete;
  Conversations& operator=(const Conversations&) = delete;

  // Receive thread (the endpoint's ConversationTable).
  ConversationMatch FindConversation(const PeerRef& sender) override;
  void RequestConnection(const PeerRef& sender) override;
  void OpenConversation(const PeerRef& sender) override;
  void ConnectEnded(const ConnectOutcome& outcome) override;

  // Interface thread.
  // The person opens a conversation: by UserId (its address from the peer
  // table or the DHT; nothing opens when neither knows it) or by address
  // with an all-zero UserId. An open one comes to the front. 0 when none.
  ConversationId Open(const PeerRef& peer);
  // A peer without a conversation spoke with `code`: one opens when the
  // peer may (`AllowAnyone`, or it is a contact); otherwise it is told so
  // with code 10, unless what it sent was code 10 itself. The message
  // itself (`message`, from its code word on; empty for none) then reaches
  // the conversation, so that a first chat line is shown at once.
  ConversationId OpenIncoming(const PeerRef& sender, uint32_t code, const std::vector<uint8_t>& message = {});
  void Close(ConversationId id);
  void CloseAll();
  std::shared_ptr<Conversation> Get(ConversationId id) const { return table_.Get(id); }
  std::shared_ptr<Conversation> FindByUserId(const uint32_t* user_id) const { return table_.FindByUserId(user_id); }
  std::vector<ConversationSummary> List() const;
  size_t table_capacity() const { return table_.capacity(); }
  void Tick();  // every conversation's one-second tick
  void SetSettings(const ConversationSettings& settings);

 private:
  // A sender without a conversation: its message reaches the main window
  // through a channel of its own, so that the code is known there.
  class Door : public ChannelHandlers {
   public:
    explicit Door(Conversations& owner) : owner_(owner) {}
    void HandleChatMessage(CallChannel& channel, const uint8_t* data, size_t length) override;
    void QueueVoiceFrame(CallChannel& channel, const uint8_t* data, size_t length) override;
    void HandleCallMessage(CallChannel& channel, uint32_t code) override;

   private:
    Conversations& owner_;
  };

  void PostToMainWindow(std::function<void(Conversations&)> task);
  ConversationId Create(const PeerRef& peer);
  bool CompleteAddress(PeerRef& peer);
  bool MayOpen(const uint32_t* user_id) const;
  void SendCode(const PeerRef& peer, uint32_t code);
  void ShowConnectionRequest(const PeerRef& sender);

  ConversationContext context_;
  ConversationServices services_;
  ConversationSettings settings_;
  ChatWindowTable table_;
  Door door_{*this};
  ConversationId next_id_ = 1;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // posted tasks check it
};

}  // namespace orv
