// The UI port of the conversations: one call per thing a chat window, its
// ring window or the main window shows. The desktop windows and orvd's
// control protocol implement it; neither needs any protocol logic. Every
// call comes on the interface thread (the dispatcher). Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "chat/ring_controller.hpp"
#include "net/peer_ref.hpp"

namespace orv {

// A conversation's handle, like a window handle: never 0, never reused
// while the process runs.
using ConversationId = uint32_t;

enum class LineKind {
  kPending,    // one's own text not yet acknowledged (italic)
  kDelivered,  // one's own text, acknowledged or from the log (normal)
  kIncoming,   // the peer's text (bold, dark blue)
};

struct HistoryLine {
  uint32_t line_id = 0;    // names the line in LineDelivered; 0 for lines from the log
  LineKind kind = LineKind::kPending;
  bool from_log = false;   // read back from the chat log when the conversation opened
  std::string line;        // as displayed: stamp, " > " or " < ", the text, "\n"
  std::string text;        // the text alone (may hold line breaks)
};

// The mute button's icon.
enum class MuteButton { kUnavailable, kMuted, kLive };  // not in voice (109), muted (110), live (108)

// The four parts of the chat window's status bar.
struct StatusBar {
  std::string call_state;  // the call state's name
  std::string typing;      // "", "*", "**", "***" or "****"
  std::string session;     // "session id: %04X %04X %04X %04X %04X" or "Not connected"
  std::string counters;    // "packets overhead: %d, secured: %d, dropped: %d, sent: %d, lost bytes: %d"
  MuteButton mute = MuteButton::kUnavailable;
  bool operator==(const StatusBar&) const = default;
};

class ConversationEvents {
 public:
  virtual ~ConversationEvents() = default;

  // A conversation opened (its window appears) or the person asked for one
  // that is open already (its window comes to the front).
  virtual void OnConversationOpened(ConversationId id, const PeerRef& peer) = 0;
  virtual void OnConversationRaised(ConversationId id) = 0;
  virtual void OnConversationClosed(ConversationId id) = 0;

  // The history: a line appended, one's own line acknowledged, and a
  // request to draw the person's attention (a peer's text arrived).
  virtual void OnHistoryLine(ConversationId id, const HistoryLine& line) = 0;
  virtual void OnLineDelivered(ConversationId id, uint32_t line_id) = 0;
  virtual void OnAlert(ConversationId id) = 0;

  // The status bar and the window title ("%s - %s": name and presence);
  // each is told only when it changed.
  virtual void OnStatus(ConversationId id, const StatusBar& status) = 0;
  virtual void OnTitle(ConversationId id, const std::string& title) = 0;

  // The call state after a change (the call button shows hang-up from
  // "DIALING" on).
  virtual void OnCallState(ConversationId id, uint32_t state, std::string_view name) = 0;
  // A typing notice from the peer.
  virtual void OnPeerTyping(ConversationId id) = 0;

  // The ring window: opened (shown for an incoming call, with `text` =
  // "<name> is calling\nAnswer call?"; hidden while dialing) and closed.
  virtual void OnRingOpened(ConversationId id, bool shown, const std::string& text) = 0;
  virtual void OnRingClosed(ConversationId id) = 0;
  // The ring window's tone starts with it and stops when it closes.
  virtual void OnToneStarted(ConversationId id, Tone tone) = 0;
  virtual void OnToneStopped(ConversationId id) = 0;

  // A conversation opened by address took the identity of the first peer
  // that spoke.
  virtual void OnIdentityAdopted(ConversationId id, const PeerRef& peer) = 0;

  // A peer asks for a connection (call channel code 0).
  virtual void OnConnectionRequest(const PeerRef& peer, const std::string& name) = 0;
};

}  // namespace orv
