// What the desktop program does with the conversations' events until it
// has chat windows: a peer's connection request goes to the main window's
// controller (the "Connection Request" dialog); everything a chat window or
// a ring window would show is not shown yet. The chat windows replace this.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "chat/conversation_events.hpp"

namespace orv {

class ConversationRelay final : public ConversationEvents {
 public:
  explicit ConversationRelay(std::function<void(const PeerRef&)> connection_request)
      : connection_request_(std::move(connection_request)) {}

  void OnConnectionRequest(const PeerRef& peer, const std::string&) override {
    if (connection_request_) connection_request_(peer);
  }

  void OnConversationOpened(ConversationId, const PeerRef&) override {}
  void OnConversationRaised(ConversationId) override {}
  void OnConversationClosed(ConversationId) override {}
  void OnHistoryLine(ConversationId, const HistoryLine&) override {}
  void OnLineDelivered(ConversationId, uint32_t) override {}
  void OnAlert(ConversationId) override {}
  void OnStatus(ConversationId, const StatusBar&) override {}
  void OnTitle(ConversationId, const std::string&) override {}
  void OnCallState(ConversationId, uint32_t, std::string_view) override {}
  void OnPeerTyping(ConversationId) override {}
  void OnRingOpened(ConversationId, bool, const std::string&) override {}
  void OnRingClosed(ConversationId) override {}
  void OnToneStarted(ConversationId, Tone) override {}
  void OnToneStopped(ConversationId) override {}
  void OnIdentityAdopted(ConversationId, const PeerRef&) override {}

 private:
  std::function<void(const PeerRef&)> connection_request_;
};

}  // namespace orv
