// The conversations as event lines of the control interface: what a chat
// window, its ring window and the main window would show, one line each.
// Runs on the interface thread, where every conversation event comes.
#pragma once

#include <functional>
#include <map>

#include "chat/conversation_events.hpp"
#include "daemon/event_bus.hpp"

namespace orv {

class ConversationLines final : public ConversationEvents {
 public:
  explicit ConversationLines(EventBus& bus) : bus_(bus) {}
  // Where a connection request goes besides its line: the main window's
  // list of open requests (`accept-request`).
  void SetConnectionRequestHandler(std::function<void(const PeerRef&)> handler) { on_request_ = std::move(handler); }

  void OnConversationOpened(ConversationId id, const PeerRef& peer) override;
  void OnConversationRaised(ConversationId) override {}
  void OnConversationClosed(ConversationId id) override;
  void OnHistoryLine(ConversationId id, const HistoryLine& line) override;
  void OnLineDelivered(ConversationId id, uint32_t line_id) override;
  void OnAlert(ConversationId) override {}
  void OnStatus(ConversationId, const StatusBar&) override {}
  void OnTitle(ConversationId, const std::string&) override {}
  void OnCallState(ConversationId id, uint32_t state, std::string_view name) override;
  void OnPeerTyping(ConversationId id) override;
  void OnRingOpened(ConversationId id, bool shown, const std::string& text) override;
  void OnRingClosed(ConversationId id) override;
  void OnToneStarted(ConversationId id, Tone tone) override;
  void OnToneStopped(ConversationId id) override;
  void OnIdentityAdopted(ConversationId id, const PeerRef& peer) override;
  void OnConnectionRequest(const PeerRef& peer, const std::string& name) override;

 private:
  // "conversation=N user=ID" for the conversation's peer.
  Fields Of(ConversationId id) const;

  EventBus& bus_;
  std::map<ConversationId, PeerRef> peers_;
  std::function<void(const PeerRef&)> on_request_;
};

}  // namespace orv
