#include "gui/chat_windows.hpp"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "audio/tone_player.hpp"
#include "chat/conversations.hpp"

namespace orv {
namespace {

// The ring window's answers: "OK" answers, "Cancel" refuses, the close box
// only dismisses.
constexpr int kRingRefused = 2;

QString Text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QDialog* MakeRingDialog(const std::string& text, QWidget* parent) {
  auto* ring = new QDialog(parent);
  ring->setWindowTitle("Income Call");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, ring);
  QObject::connect(buttons, &QDialogButtonBox::accepted, ring, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, ring, [ring] { ring->done(kRingRefused); });
  auto* layout = new QVBoxLayout(ring);
  layout->addWidget(new QLabel(Text(text), ring));
  layout->addWidget(buttons);
  return ring;
}

}  // namespace

// One chat window's actions, bound to its conversation.
class ChatWindows::Actions final : public ChatActions {
 public:
  Actions(ChatWindows& owner, ConversationId id) : owner_(owner), id_(id) {}

  void SendInput(const QString& text) override {
    const std::u16string input(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
    owner_.WithConversation(id_, [&input](Conversation& c) { c.SendChatInput(input); });
  }
  void PressCallButton() override {
    owner_.WithConversation(id_, [](Conversation& c) { c.PressCallButton(); });
  }
  void ToggleMute() override {
    owner_.WithConversation(id_, [](Conversation& c) { c.ToggleMute(); });
  }
  void InputChanged() override {
    owner_.WithConversation(id_, [](Conversation& c) { c.SendTypingNotice(); });
  }
  void SetVolume(int volume) override {
    owner_.volume_ = volume;
    owner_.WithConversation(id_, [volume](Conversation& c) { c.levels().volume = volume; });
  }
  void SetMicLevel(int level) override {
    owner_.mic_level_ = level;
    owner_.WithConversation(id_, [level](Conversation& c) { c.levels().mic_level = level; });
  }
  void TransferFile() override {
    if (Entry* entry = owner_.Find(id_); entry && owner_.services_.transfer_file)
      owner_.services_.transfer_file(entry->peer);
  }
  void AddToFavorites() override {
    if (Entry* entry = owner_.Find(id_); entry && owner_.services_.add_to_favorites)
      owner_.services_.add_to_favorites(entry->peer);
  }
  void CloseRequested() override { owner_.CloseRequested(id_); }

 private:
  ChatWindows& owner_;
  const ConversationId id_;
};

ChatWindows::ChatWindows(ChatWindowServices services) : services_(std::move(services)) {}

ChatWindows::~ChatWindows() {
  for (auto& [id, entry] : entries_) {
    entry.tone.reset();
    delete entry.ring.data();
    delete entry.window.data();
  }
}

void ChatWindows::SetCurrentLevels(int volume, int mic_level) {
  volume_ = volume;
  mic_level_ = mic_level;
}

ChatWindows::Entry* ChatWindows::Find(ConversationId id) {
  auto entry = entries_.find(id);
  return entry == entries_.end() ? nullptr : &entry->second;
}

ChatWindow* ChatWindows::window(ConversationId id) const {
  auto entry = entries_.find(id);
  return entry == entries_.end() ? nullptr : entry->second.window.data();
}

QDialog* ChatWindows::ring(ConversationId id) const {
  auto entry = entries_.find(id);
  return entry == entries_.end() ? nullptr : entry->second.ring.data();
}

void ChatWindows::WithConversation(ConversationId id, const std::function<void(Conversation&)>& action) {
  Conversations* conversations = services_.conversations ? services_.conversations() : nullptr;
  if (!conversations) return;
  if (std::shared_ptr<Conversation> conversation = conversations->Get(id)) action(*conversation);
}

void ChatWindows::CloseRequested(ConversationId id) {
  Conversations* conversations = services_.conversations ? services_.conversations() : nullptr;
  if (conversations && conversations->Get(id)) {
    conversations->Close(id);  // tells OnConversationClosed
    return;
  }
  OnConversationClosed(id);
}

void ChatWindows::OnConversationOpened(ConversationId id, const PeerRef& peer) {
  Entry& entry = entries_[id];
  entry.peer = peer;
  if (!entry.window) {
    entry.window = new ChatWindow(std::make_unique<Actions>(*this, id));
    entry.window->setAttribute(Qt::WA_DeleteOnClose);
  }
  WithConversation(id, [this](Conversation& c) {
    c.levels().volume = volume_;
    c.levels().mic_level = mic_level_;
  });
  entry.window->SetLevels(volume_, mic_level_);
  OnConversationRaised(id);
}

void ChatWindows::OnConversationRaised(ConversationId id) {
  Entry* entry = Find(id);
  if (!entry || !entry->window) return;
  entry->window->show();
  entry->window->raise();
  entry->window->activateWindow();
}

void ChatWindows::OnConversationClosed(ConversationId id) {
  auto found = entries_.find(id);
  if (found == entries_.end()) return;
  Entry& entry = found->second;
  entry.tone.reset();
  CloseRing(entry);
  // The window may be the one whose close box is being handled: it closes
  // itself and is deleted once the event loop gets back to it.
  if (entry.window) entry.window->CloseQuietly();
  entries_.erase(found);
}

void ChatWindows::OnHistoryLine(ConversationId id, const HistoryLine& line) {
  Entry* entry = Find(id);
  if (!entry || !entry->window) return;
  entry->window->AppendLine(line);
  const bool arrived = line.kind == LineKind::kIncoming && !line.from_log;
  if (arrived && !entry->window->isActiveWindow() && services_.notify)
    services_.notify(ChatLineNotice(entry->window->windowTitle().toStdString(), line.text));
}

void ChatWindows::OnLineDelivered(ConversationId id, uint32_t line_id) {
  if (Entry* entry = Find(id); entry && entry->window) entry->window->MarkDelivered(line_id);
}

// A peer's text: the window asks for attention unless it is in front, and
// the main window shows itself when hidden.
void ChatWindows::OnAlert(ConversationId id) {
  Entry* entry = Find(id);
  if (!entry || !entry->window) return;
  if (!entry->window->isActiveWindow()) QApplication::alert(entry->window);
  if (services_.show_main_window) services_.show_main_window();
}

void ChatWindows::OnStatus(ConversationId id, const StatusBar& status) {
  if (Entry* entry = Find(id); entry && entry->window) entry->window->ShowStatus(status);
}

void ChatWindows::OnTitle(ConversationId id, const std::string& title) {
  if (Entry* entry = Find(id); entry && entry->window) entry->window->setWindowTitle(Text(title));
}

void ChatWindows::OnCallState(ConversationId id, uint32_t state, std::string_view) {
  if (Entry* entry = Find(id); entry && entry->window) entry->window->ShowCallState(state);
}

// The typing sign reaches the status bar with the next status.
void ChatWindows::OnPeerTyping(ConversationId) {}

void ChatWindows::OnRingOpened(ConversationId id, bool shown, const std::string& text) {
  Entry* entry = Find(id);
  if (!entry) return;
  CloseRing(*entry);
  // Told on the desktop too unless the conversation's window is in front.
  const bool in_front = entry->window && entry->window->isActiveWindow();
  if (!in_front && services_.notify) services_.notify(IncomingCallNotice(text));
  QDialog* ring = MakeRingDialog(text, nullptr);
  ring->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(ring, &QDialog::finished, ring, [this, id](int result) {
    WithConversation(id, [result](Conversation& c) {
      if (result == QDialog::Accepted)
        c.AnswerRing();
      else if (result == kRingRefused)
        c.RefuseRing();
      else
        c.DismissRing();
    });
  });
  entry->ring = ring;
  if (shown) {
    ring->show();
    ring->raise();
    ring->activateWindow();
  }
}

void ChatWindows::OnRingClosed(ConversationId id) {
  if (Entry* entry = Find(id)) CloseRing(*entry);
}

// The conversation closed the ring window itself: nothing is answered.
void ChatWindows::CloseRing(Entry& entry) {
  if (!entry.ring) return;
  QDialog* ring = entry.ring;
  entry.ring = nullptr;
  ring->disconnect();
  ring->close();
}

void ChatWindows::OnToneStarted(ConversationId id, Tone tone) {
  Entry* entry = Find(id);
  if (!entry) return;
  entry->tone.reset();
  if (services_.start_tone) entry->tone = services_.start_tone(tone);
}

void ChatWindows::OnToneStopped(ConversationId id) {
  if (Entry* entry = Find(id)) entry->tone.reset();
}

void ChatWindows::OnIdentityAdopted(ConversationId id, const PeerRef& peer) {
  if (Entry* entry = Find(id)) entry->peer = peer;
}

void ChatWindows::OnConnectionRequest(const PeerRef& peer, const std::string&) {
  if (services_.connection_request) services_.connection_request(peer);
}

}  // namespace orv
