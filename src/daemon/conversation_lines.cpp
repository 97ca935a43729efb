#include "daemon/conversation_lines.hpp"

namespace orv {

Fields ConversationLines::Of(ConversationId id) const {
  Fields fields;
  fields.Number("conversation", id);
  const auto it = peers_.find(id);
  if (it != peers_.end()) fields.UserId("user", it->second.user_id);
  return fields;
}

void ConversationLines::OnConversationOpened(ConversationId id, const PeerRef& peer) {
  peers_[id] = peer;
  bus_.Emit("chat_opened", Of(id).Address("address", peer.ipv4, peer.port));
}

void ConversationLines::OnConversationClosed(ConversationId id) {
  bus_.Emit("chat_closed", Of(id));
  peers_.erase(id);
}

void ConversationLines::OnHistoryLine(ConversationId id, const HistoryLine& line) {
  if (line.from_log) return;
  if (line.kind == LineKind::kIncoming)
    bus_.Emit("chat", Of(id).Text("text", line.text));
  else
    bus_.Emit("chat_sent", Of(id).Number("line", line.line_id).Text("text", line.text));
}

void ConversationLines::OnLineDelivered(ConversationId id, uint32_t line_id) {
  bus_.Emit("delivered", Of(id).Number("line", line_id));
}

void ConversationLines::OnCallState(ConversationId id, uint32_t state, std::string_view name) {
  bus_.Emit("call_state", Of(id).Number("state", state).Text("name", name));
}

void ConversationLines::OnPeerTyping(ConversationId id) { bus_.Emit("typing", Of(id)); }

void ConversationLines::OnRingOpened(ConversationId id, bool shown, const std::string& text) {
  // Hidden, the ring window only plays the dial tone of our own call.
  if (shown) bus_.Emit("incoming_call", Of(id).Text("text", text));
}

void ConversationLines::OnRingClosed(ConversationId id) { bus_.Emit("ring_closed", Of(id)); }

void ConversationLines::OnToneStarted(ConversationId id, Tone tone) {
  bus_.Emit("tone", Of(id).Text("tone", tone == Tone::kDial ? "dial" : "ring"));
}

void ConversationLines::OnToneStopped(ConversationId id) { bus_.Emit("tone", Of(id).Text("tone", "none")); }

void ConversationLines::OnIdentityAdopted(ConversationId id, const PeerRef& peer) {
  peers_[id] = peer;
  bus_.Emit("identity_adopted", Of(id).Address("address", peer.ipv4, peer.port));
}

void ConversationLines::OnConnectionRequest(const PeerRef& peer, const std::string& name) {
  if (on_request_) on_request_(peer);
  bus_.Emit("connection_request",
            Fields().UserId("user", peer.user_id).Address("address", peer.ipv4, peer.port).Text("name", name));
}

}  // namespace orv
