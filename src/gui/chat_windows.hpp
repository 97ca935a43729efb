// The desktop program's side of the conversations: a chat window for each
// open conversation, its ring window ("Income Call") and its tones, and the
// connection requests passed on to the main window. The person's actions in
// a window go to its Conversation; every call comes on the GUI thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <QDialog>
#include <QPointer>

#include "chat/conversation_events.hpp"
#include "gui/chat_window.hpp"
#include "gui/desktop_notice.hpp"


namespace orv {

class Conversation;
class Conversations;
class TonePlayer;

struct ChatWindowServices {
  // The running conversations; null before the start and after the end.
  std::function<Conversations*()> conversations;
  // A peer asks for a connection: the main window's controller.
  std::function<void(const PeerRef&)> connection_request;
  // A peer's text arrived: the main window shows itself (and asks for
  // attention) when it is hidden.
  std::function<void()> show_main_window;
  // "&Transfer file" and "&Add to favorite list": the main window's commands.
  std::function<void(const PeerRef&)> transfer_file;
  std::function<void(const PeerRef&)> add_to_favorites;
  // Plays a tone until the player goes; null (or a null player): silence.
  std::function<std::unique_ptr<TonePlayer>(Tone)> start_tone;
  // A peer's line or a call while its window is not in front.
  NotifyFunction notify;
};

class ChatWindows final : public ConversationEvents {
 public:
  explicit ChatWindows(ChatWindowServices services);
  ~ChatWindows() override;
  ChatWindows(const ChatWindows&) = delete;
  ChatWindows& operator=(const ChatWindows&) = delete;

  // The speaker volume and microphone level new windows start with, and
  // that the sliders change (0..100).
  void SetCurrentLevels(int volume, int mic_level);
  int volume() const { return volume_; }
  int mic_level() const { return mic_level_; }

  // For the tests.
  ChatWindow* window(ConversationId id) const;
  QDialog* ring(ConversationId id) const;

  void OnConversationOpened(ConversationId id, const PeerRef& peer) override;
  void OnConversationRaised(ConversationId id) override;
  void OnConversationClosed(ConversationId id) override;
  void OnHistoryLine(ConversationId id, const HistoryLine& line) override;
  void OnLineDelivered(ConversationId id, uint32_t line_id) override;
  void OnAlert(ConversationId id) override;
  void OnStatus(ConversationId id, const StatusBar& status) override;
  void OnTitle(ConversationId id, const std::string& title) override;
  void OnCallState(ConversationId id, uint32_t state, std::string_view name) override;
  void OnPeerTyping(ConversationId id) override;
  void OnRingOpened(ConversationId id, bool shown, const std::string& text) override;
  void OnRingClosed(ConversationId id) override;
  void OnToneStarted(ConversationId id, Tone tone) override;
  void OnToneStopped(ConversationId id) override;
  void OnIdentityAdopted(ConversationId id, const PeerRef& peer) override;
  void OnConnectionRequest(const PeerRef& peer, const std::string& name) override;

 private:
  class Actions;
  friend class Actions;
  struct Entry {
    PeerRef peer;
    QPointer<ChatWindow> window;
    QPointer<QDialog> ring;
    std::unique_ptr<TonePlayer> tone;
  };

  Entry* Find(ConversationId id);
  // Runs `action` on the open conversation `id`, if there is one.
  void WithConversation(ConversationId id, const std::function<void(Conversation&)>& action);
  void CloseRequested(ConversationId id);
  void CloseRing(Entry& entry);

  ChatWindowServices services_;
  std::map<ConversationId, Entry> entries_;
  int volume_ = 66;
  int mic_level_ = 66;
};

}  // namespace orv
