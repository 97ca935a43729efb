#include "chat/conversations.hpp"

#include <chrono>

#include "chat/chat_input.hpp"
#include "chat/chat_message.hpp"
#include "crypto/byte_order.hpp"
#include "identity/utf16.hpp"
#include "net/dispatch.hpp"

namespace orv {
namespace {

uint32_t SteadyMilliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

Conversations::Conversations(const ConversationServices& services, const ConversationSettings& settings)
    : services_(services), settings_(settings) {
  context_.dispatcher = services.dispatcher;
  context_.sender = services.sender;
  context_.events = services.events;
  context_.network = services.network;
  context_.contacts = services.contacts;
  context_.voice = services.voice;
  context_.log_keys = services.log_keys;
  context_.line_stamp = services.line_stamp ? services.line_stamp : LocalLineStamp;
  context_.clock_ms = services.clock_ms ? services.clock_ms : SteadyMilliseconds;
  SetSettings(settings);
  if (services.start_timer)
    services.dispatcher->StartTimer(kConversationTimer, kConversationTickMs, [this] { Tick(); });
}

Conversations::~Conversations() {
  if (services_.start_timer) services_.dispatcher->StopTimer(kConversationTimer);
  CloseAll();
  alive_.reset();
}

void Conversations::SetSettings(const ConversationSettings& settings) {
  settings_ = settings;
  context_.save_chat_to_file = settings.save_chat_to_file;
  context_.log_folder = settings.log_folder;
}

// ---- the receive thread ----

ConversationMatch Conversations::FindConversation(const PeerRef& sender) {
  ConversationMatch match;
  match.found = true;
  bool adopted = false;
  if (std::shared_ptr<Conversation> conversation = table_.Route(sender, adopted)) {
    if (adopted) conversation->AdoptIdentity(sender);
    match.adopted = adopted;
    match.channel = conversation->SharedChannel();
    return match;
  }
  // Nobody talks with this sender: the main window hears the message.
  match.channel = std::make_shared<CallChannel>();
  match.channel->peer = sender;
  match.channel->handlers = &door_;
  return match;
}

void Conversations::RequestConnection(const PeerRef& sender) {
  PostToMainWindow([sender](Conversations& c) { c.ShowConnectionRequest(sender); });
}

void Conversations::OpenConversation(const PeerRef& sender) {
  // Reached only when the code is not known: treat it as a message that may
  // be refused.
  PostToMainWindow([sender](Conversations& c) { c.OpenIncoming(sender, kCodeConnect); });
}

void Conversations::ConnectEnded(const ConnectOutcome& outcome) {
  if (outcome.established) return;  // the session shows by itself
  PostToMainWindow([outcome](Conversations& c) {
    if (std::shared_ptr<Conversation> open = c.table_.FindByAddress(outcome.ipv4, outcome.port))
      open->ConnectFailed(outcome.reason);
  });
}

void Conversations::Door::HandleChatMessage(CallChannel& channel, const uint8_t* data, size_t length) {
  const PeerRef sender = channel.peer;
  const uint32_t code = LoadLe32(data);
  std::vector<uint8_t> message(data, data + length);
  owner_.PostToMainWindow([sender, code, message = std::move(message)](Conversations& c) {
    c.OpenIncoming(sender, code, message);
  });
}

// A voice frame opens the conversation (a call is on its way), but is not
// itself worth keeping.
void Conversations::Door::QueueVoiceFrame(CallChannel& channel, const uint8_t* data, size_t) {
  const PeerRef sender = channel.peer;
  const uint32_t code = LoadLe32(data);
  owner_.PostToMainWindow([sender, code](Conversations& c) { c.OpenIncoming(sender, code); });
}

void Conversations::Door::HandleCallMessage(CallChannel& channel, uint32_t code) {
  const PeerRef sender = channel.peer;
  const auto bytes = EncodeCallCode(code);
  std::vector<uint8_t> message(bytes.begin(), bytes.end());
  owner_.PostToMainWindow([sender, code, message = std::move(message)](Conversations& c) {
    c.OpenIncoming(sender, code, message);
  });
}

void Conversations::PostToMainWindow(std::function<void(Conversations&)> task) {
  std::weak_ptr<int> alive = alive_;
  services_.dispatcher->Post([this, alive, task = std::move(task)] {
    if (alive.lock()) task(*this);
  });
}

// ---- the main window's part (interface thread) ----

void Conversations::ShowConnectionRequest(const PeerRef& sender) {
  if (!settings_.allow_connection_request) {
    SendCode(sender, kCodeNotAllowed);
    return;
  }
  services_.events->OnConnectionRequest(sender, Utf16ToUtf8(services_.network->PeerName(sender.user_id)));
}

bool Conversations::MayOpen(const uint32_t* user_id) const {
  return settings_.allow_anyone || (services_.contacts && services_.contacts->IsContact(user_id));
}

void Conversations::SendCode(const PeerRef& peer, uint32_t code) {
  PeerRef target = peer;
  const auto message = EncodeCallCode(code);
  services_.sender->SendPayload(target, kInnerCallChannel, message.data(), message.size());
}

ConversationId Conversations::OpenIncoming(const PeerRef& sender, uint32_t code, const std::vector<uint8_t>& message) {
  if (!MayOpen(sender.user_id)) {
    // A refusal is never answered with a refusal: two peers that both
    // refuse strangers would otherwise trade code 10 for ever.
    if (code != kCodeNotAllowed) SendCode(sender, kCodeNotAllowed);
    return 0;
  }
  // Code 10 asks nothing of us; a conversation opened for it would only sit idle.
  if (code == kCodeNotAllowed) return 0;
  std::shared_ptr<Conversation> conversation = table_.FindByUserId(sender.user_id);
  if (!conversation) {
    PeerRef peer = sender;
    if (!CompleteAddress(peer)) return 0;
    conversation = table_.Get(Create(peer));
  }
  // The message that opened it (or that came while it was opening).
  if (conversation && !message.empty()) ChannelReceive(conversation->channel(), message.data(), message.size());
  return conversation ? conversation->id() : 0;
}

ConversationId Conversations::Open(const PeerRef& peer) {
  const bool by_address = IsZeroUserId(peer.user_id);
  std::shared_ptr<Conversation> open =
      by_address ? table_.FindByAddress(peer.ipv4, peer.port) : table_.FindByUserId(peer.user_id);
  if (open) {
    services_.events->OnConversationRaised(open->id());
    return open->id();
  }
  PeerRef target = peer;
  if (!by_address && !CompleteAddress(target)) return 0;
  return Create(target);
}

bool Conversations::CompleteAddress(PeerRef& peer) {
  PeerRef found;
  if (services_.network->FindPeerRef(peer.user_id, found) ||
      (services_.locate && services_.locate(peer.user_id, found))) {
    peer.ipv4 = found.ipv4;
    peer.port = found.port;
    return true;
  }
  return false;
}

ConversationId Conversations::Create(const PeerRef& peer) {
  const ConversationId id = next_id_++;
  auto conversation = std::make_shared<Conversation>(id, peer, context_);
  table_.Insert(id, peer, conversation);
  conversation->Open();
  return id;
}

void Conversations::Close(ConversationId id) {
  if (std::shared_ptr<Conversation> conversation = table_.Remove(id)) conversation->Close();
}

void Conversations::CloseAll() {
  for (const std::shared_ptr<Conversation>& conversation : table_.All()) Close(conversation->id());
}

std::vector<ConversationSummary> Conversations::List() const {
  std::vector<ConversationSummary> list;
  for (const std::shared_ptr<Conversation>& conversation : table_.All()) {
    ConversationSummary summary;
    summary.id = conversation->id();
    summary.peer = conversation->peer();
    summary.call_state = conversation->call_state();
    summary.pending = conversation->pending_count();
    list.push_back(summary);
  }
  return list;
}

void Conversations::Tick() {
  for (const std::shared_ptr<Conversation>& conversation : table_.All()) conversation->Tick();
}

}  // namespace orv
