#include "chat/conversation.hpp"

#include <mutex>

#include "chat/chat_channel.hpp"
#include "chat/chat_input.hpp"
#include "chat/chat_message.hpp"
#include "crypto/byte_order.hpp"
#include "crypto/random_pool.hpp"
#include "identity/utf16.hpp"
#include "net/dispatch.hpp"

namespace orv {
namespace {

// The text of a stored line: what follows its " > " or " < ", without the
// closing line break.
std::u16string_view StoredLineText(std::u16string_view line) {
  const size_t mark = line.find_first_of(u"<>");
  if (mark != std::u16string_view::npos && mark + 2 <= line.size()) line.remove_prefix(mark + 2);
  if (!line.empty() && line.back() == u'\n') line.remove_suffix(1);
  return line;
}

// A numbering of our own: random, never 0 (0 is no numbering).
uint32_t NewNumberingId() {
  uint32_t id = 0;
  while (id == 0) RandomWords(&id, 1);
  return id;
}

}  // namespace

Conversation::Conversation(ConversationId id, const PeerRef& peer, ConversationContext& context)
    : id_(id), context_(context), channel_(std::make_shared<CallChannel>()), numbering_id_(NewNumberingId()) {
  channel_->peer = peer;
  channel_->handlers = this;
  CopyUserId(user_id_, peer.user_id);
}

Conversation::~Conversation() {
  // Normally closed already; an engine left over must not outlive the channel.
  std::unique_lock<std::shared_mutex> guard(voice_lock_);
  voice_.reset();
}

PeerRef Conversation::peer() const {
  std::lock_guard<std::mutex> guard(channel_->lock);
  return channel_->peer;
}

// ---- opening and closing (interface thread) ----

void Conversation::Open() {
  context_.events->OnConversationOpened(id_, peer());
  if (context_.save_chat_to_file && context_.log_keys) {
    log_wanted_ = true;
    if (!IsZeroUserId(user_id_)) OpenLog(true);
  }
  if (context_.voice) {
    std::unique_lock<std::shared_mutex> guard(voice_lock_);
    voice_ = context_.voice->CreateCallVoice(*channel_, *context_.sender, levels_);
  }
  shown_state_ = call_state();
  RefreshStatus();
}

void Conversation::Close() {
  if (closed_.exchange(true)) return;
  log_.Close();
  CloseRing();
  {
    std::unique_lock<std::shared_mutex> guard(voice_lock_);
    voice_.reset();  // stops and joins the voice thread
  }
  {
    std::lock_guard<std::mutex> guard(channel_->lock);
    channel_->pending.clear();
  }
  context_.events->OnConversationClosed(id_);
}

void Conversation::OpenLog(bool show_history) {
  const auto on_line = [this, show_history](const std::u16string& line) {
    if (show_history) ShowStoredLine(line);
  };
  if (!OpenChatLog(log_, context_.log_folder, user_id_, *context_.log_keys, on_line)) return;
  for (const std::u16string& line : unlogged_) log_.Append(line);
  unlogged_.clear();
}

void Conversation::LogLine(const std::u16string& line) {
  if (!log_wanted_) return;
  if (log_.writable()) log_.Append(line);
  else if (IsZeroUserId(user_id_)) unlogged_.push_back(line);
}

// ---- history (interface thread) ----

void Conversation::AppendLine(LineKind kind, uint32_t line_id, const std::u16string& line, std::u16string_view text) {
  HistoryLine shown;
  shown.line_id = line_id;
  shown.kind = kind;
  shown.line = Utf16ToUtf8(line);
  shown.text = Utf16ToUtf8(text);
  context_.events->OnHistoryLine(id_, shown);
}

void Conversation::ShowStoredLine(const std::u16string& line) {
  HistoryLine shown;
  shown.kind = IsPeerLine(line) ? LineKind::kIncoming : LineKind::kDelivered;
  shown.from_log = true;
  shown.line = Utf16ToUtf8(line);
  shown.text = Utf16ToUtf8(StoredLineText(line));
  context_.events->OnHistoryLine(id_, shown);
}

void Conversation::SendChatInput(std::u16string_view input) {
  if (closed() || input.empty()) return;
  for (std::u16string_view part : CutChatInput(input)) {
    const std::u16string line = ChatLine(context_.line_stamp(), true, part);
    const uint32_t line_id = next_line_id_++;
    LogLine(line);
    AppendLine(LineKind::kPending, line_id, line, part);
    SendChatMessage(part, line_id);
  }
}

void Conversation::SendChatMessage(std::u16string_view text, uint32_t line_id) {
  const OutgoingChat out = QueueChatMessage(*channel_, text, static_cast<int32_t>(line_id));
  if (out.restarted) {
    std::lock_guard<std::mutex> guard(order_lock_);
    order_.LocalRestarted();
  }
  Perform(out.actions);
  SendText(out.sequence, text, out.lowest_pending);
}

void Conversation::SendText(uint32_t sequence, std::u16string_view text, uint32_t lowest_pending) {
  const std::vector<uint8_t> message = EncodeChatText(sequence, text, ChatNumbering{numbering_id_, lowest_pending});
  SendBytes(message.data(), message.size());
}

void Conversation::ShowIncomingChat(const std::u16string& text) {
  const std::u16string line = ChatLine(context_.line_stamp(), false, text);
  LogLine(line);
  AppendLine(LineKind::kIncoming, next_line_id_++, line, text);
  context_.events->OnAlert(id_);
}

void Conversation::MarkDelivered(uint32_t line_id) { context_.events->OnLineDelivered(id_, line_id); }

// ---- sending (any thread, no lock held) ----

void Conversation::SendBytes(const uint8_t* data, size_t length) {
  PeerRef target = peer();  // a copy: the network may fill in its UserId
  context_.sender->SendPayload(target, kInnerCallChannel, data, static_cast<uint32_t>(length));
}

void Conversation::SendCode(uint32_t code) {
  const auto message = EncodeCallCode(code);
  SendBytes(message.data(), message.size());
}

void Conversation::ResendPending() {
  const std::vector<PendingChatMessage> resends = CollectResends(*channel_);
  for (const PendingChatMessage& message : resends) SendText(message.sequence, message.text, resends.front().sequence);
}

void Conversation::Perform(const CallActions& actions) {
  if (actions.resend_chat) ResendPending();
  for (uint32_t i = 0; i < actions.send_count; ++i) SendCode(actions.sends[i]);
  if (actions.state_changed) Post([](Conversation& c) { c.CallStateChanged(); });
  if (actions.incoming_call) Post([](Conversation& c) { c.ShowIncomingCall(); });
  if (actions.typing) Post([](Conversation& c) { c.ShowTyping(); });
}

void Conversation::Post(std::function<void(Conversation&)> task) {
  std::weak_ptr<Conversation> self = weak_from_this();
  context_.dispatcher->Post([self, task = std::move(task)] {
    if (auto conversation = self.lock(); conversation && !conversation->closed()) task(*conversation);
  });
}

// ---- the receive thread ----

void Conversation::AdoptIdentity(const PeerRef& sender) {
  {
    std::lock_guard<std::mutex> guard(channel_->lock);
    CopyUserId(channel_->peer.user_id, sender.user_id);
  }
  Post([sender](Conversation& c) { c.TakeIdentity(sender); });
}

void Conversation::HandleChatMessage(CallChannel&, const uint8_t* data, size_t length) {
  if (closed()) return;
  if (LoadLe32(data) == kCodeChatAck) {
    const std::optional<uint32_t> sequence = DecodeChatAck(data, length);
    if (!sequence) return;
    if (const std::optional<int32_t> line = TakeAcknowledged(*channel_, *sequence)) {
      const uint32_t line_id = static_cast<uint32_t>(*line);
      Post([line_id](Conversation& c) { c.MarkDelivered(line_id); });
    }
    return;
  }
  const std::optional<ChatText> chat = DecodeChatText(data, length);
  if (!chat) return;
  ChatReceiveOrder::Result result;
  {
    std::lock_guard<std::mutex> guard(order_lock_);
    result = order_.Receive(*chat);
  }
  // Shown (posted in order) before they are acknowledged.
  for (std::u16string& text : result.show)
    Post([text = std::move(text)](Conversation& c) { c.ShowIncomingChat(text); });
  for (uint32_t sequence : result.acknowledge) {
    const auto ack = EncodeChatAck(sequence);
    SendBytes(ack.data(), ack.size());
  }
}

void Conversation::QueueVoiceFrame(CallChannel&, const uint8_t* data, size_t length) {
  std::shared_lock<std::shared_mutex> guard(voice_lock_);
  if (voice_) voice_->QueueVoiceFrame(data, length);
}

void Conversation::HandleCallMessage(CallChannel&, uint32_t code) {
  if (closed()) return;
  if (code == kCodeConnect) {
    std::lock_guard<std::mutex> guard(order_lock_);
    order_.PeerRestarted();
  }
  Perform(ReceiveCallCode(*channel_, code));
}

}  // namespace orv
