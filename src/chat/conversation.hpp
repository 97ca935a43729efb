// One conversation with one peer: the controller behind a chat window and
// its ring window. It owns the call channel (the receive thread reaches it
// through the channel's handlers), the voice levels and the conversation's
// voice engine, the chat log and the ring controller. The receive thread
// only changes the channel and posts; everything a window is told runs on
// the interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/dispatcher.hpp"
#include "chat/call_control.hpp"
#include "chat/call_voice.hpp"
#include "chat/chat_channel.hpp"
#include "chat/chat_log.hpp"
#include "store/contact_directory.hpp"
#include "chat/conversation_events.hpp"
#include "chat/conversation_network.hpp"
#include "chat/receive_order.hpp"
#include "chat/ring_controller.hpp"
#include "identity/secret_file.hpp"
#include "net/call_channel.hpp"
#include "net/payload_sender.hpp"

namespace orv {

// What every conversation of a node shares. Owned by the Conversations
// façade; outlives its conversations.
struct ConversationContext {
  Dispatcher* dispatcher = nullptr;
  PayloadSender* sender = nullptr;
  ConversationEvents* events = nullptr;
  ConversationNetwork* network = nullptr;
  ContactDirectory* contacts = nullptr;  // optional
  VoiceProvider* voice = nullptr;        // optional: calls run silently without it
  ChatLogKeys* log_keys = nullptr;       // optional: no chat log without it
  bool save_chat_to_file = false;        // `SaveChatToFile`
  std::string log_folder;                // where the chat logs live (the profile folder)
  std::function<std::u16string()> line_stamp;  // date and time of a history line
  std::function<uint32_t()> clock_ms;          // milliseconds, for the typing notice
};

class Conversation : public ChannelHandlers, public std::enable_shared_from_this<Conversation> {
 public:
  Conversation(ConversationId id, const PeerRef& peer, ConversationContext& context);
  ~Conversation() override;
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  ConversationId id() const { return id_; }
  PeerRef peer() const;
  uint32_t call_state() const { return channel_->call_state.load(); }
  CallChannel& channel() { return *channel_; }
  // The channel as the receive thread holds it: it keeps the whole
  // conversation alive for as long as it is used.
  std::shared_ptr<CallChannel> SharedChannel() { return {shared_from_this(), channel_.get()}; }
  VoiceLevels& levels() { return levels_; }
  bool ring_open() const { return ring_.open(); }
  const RingController& ring() const { return ring_; }
  size_t pending_count() { return PendingCount(*channel_); }

  // Interface thread.
  void Open();   // the window appears: history from the log, voice engine, status
  void Close();  // the window goes: ring, voice, log; later messages are dropped
  bool closed() const { return closed_.load(); }
  void SendChatInput(std::u16string_view input);
  void SendChatMessage(std::u16string_view text, uint32_t line_id);
  void DialPeer();
  void HangUp();
  void RefuseCall();
  void AnswerCall();
  void PressCallButton();  // hang up from "DIALING" on, otherwise dial with the dial tone
  void AnswerRing();       // the ring window's OK
  void RefuseRing();       // the ring window's Cancel
  void DismissRing();      // the ring window closed without an answer
  void SendTypingNotice();
  void ToggleMute();
  void Tick();             // the one-second timer
  void CallStateChanged();
  // The call to the conversation's address ended without a session: the
  // status says why until a session stands.
  void ConnectFailed(const std::string& reason);

  // Receive thread.
  void AdoptIdentity(const PeerRef& sender);
  void HandleChatMessage(CallChannel& channel, const uint8_t* data, size_t length) override;
  void QueueVoiceFrame(CallChannel& channel, const uint8_t* data, size_t length) override;
  void HandleCallMessage(CallChannel& channel, uint32_t code) override;

 private:
  // Any thread, no lock held.
  void Perform(const CallActions& actions);
  void SendBytes(const uint8_t* data, size_t length);
  void SendCode(uint32_t code);
  void ResendPending();
  void SendText(uint32_t sequence, std::u16string_view text, uint32_t lowest_pending);
  void Post(std::function<void(Conversation&)> task);

  // Interface thread.
  void ShowIncomingChat(const std::u16string& text);
  void MarkDelivered(uint32_t line_id);
  void ShowIncomingCall();
  void ShowTyping();
  void TakeIdentity(const PeerRef& sender);
  void OpenRing(bool dialing);
  void CloseRing();
  void RefreshStatus();
  void AppendLine(LineKind kind, uint32_t line_id, const std::u16string& line, std::u16string_view text);
  void ShowStoredLine(const std::u16string& line);
  void OpenLog(bool show_history);
  void LogLine(const std::u16string& line);
  std::string PeerDisplayName(const uint32_t* user_id);

  const ConversationId id_;
  ConversationContext& context_;
  std::shared_ptr<CallChannel> channel_;
  VoiceLevels levels_;
  std::unique_ptr<CallVoice> voice_;
  std::shared_mutex voice_lock_;  // the receive thread queues frames while the interface thread may drop the engine
  std::atomic<bool> closed_{false};
  const uint32_t numbering_id_;  // this conversation's numbering of its texts
  std::mutex order_lock_;        // the receive thread and the interface thread both reach the order
  ChatReceiveOrder order_;

  // Interface thread only.
  uint32_t user_id_[kUserIdWords] = {};  // the window's copy of the peer's UserId
  RingController ring_;
  RecordLog log_;
  bool log_wanted_ = false;                  // the log opens once the peer's UserId is known
  std::vector<std::u16string> unlogged_;     // lines written before that
  uint32_t next_line_id_ = 1;
  bool typing_sent_ = false;
  std::string typing_sign_;
  StatusBar status_;
  std::string title_;
  std::string connect_failure_;
  uint32_t shown_state_ = kCallIdle;
};

}  // namespace orv
