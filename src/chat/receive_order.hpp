// The order in which a conversation shows the peer's chat texts: every text
// once, in the order the peer sent it, whatever the network lost,
// duplicated or reordered.
//
// A peer of ours numbers its texts per conversation ("numbering", chosen at
// random when its conversation opens) and tells with each text the lowest
// number it still waits an acknowledgement for. Texts are shown strictly in
// number order: one that comes early waits (unacknowledged, at most
// kMaxEarlyTexts of them) until the gap before it is filled; a number below
// the next expected one was shown already and is acknowledged again. A new
// numbering is a new conversation at the peer: it starts at that lowest
// number, and texts of a numbering left behind are dropped unanswered
// (their acknowledgement would name a number of the new one).
//
// A peer that sends no numbering restarts its numbers at 0 when it opens a
// conversation and after code 1; its texts are shown as they come, each
// once, with the 32-number window of AcceptSequence.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "chat/chat_message.hpp"
#include "chat/receive_window.hpp"

namespace orv {

constexpr size_t kMaxEarlyTexts = 256;
constexpr size_t kRememberedNumberings = 8;

class ChatReceiveOrder {
 public:
  struct Result {
    std::vector<uint32_t> acknowledge;  // numbers to acknowledge, in this order
    std::vector<std::u16string> show;   // texts to show, in this order
  };

  Result Receive(const ChatText& text);
  // Code 1 from the peer: a peer without numbering restarts its numbers.
  void PeerRestarted();
  // This side sent code 1: a peer without numbering answers by restarting
  // its numbers.
  void LocalRestarted() { PeerRestarted(); }

 private:
  Result ReceiveNumbered(const ChatText& text);
  Result ReceiveUnnumbered(const ChatText& text);
  void StartNumbering(const ChatNumbering& numbering);
  bool LeftBehind(uint32_t numbering) const;

  // A peer of ours.
  bool numbered_ = false;
  uint32_t numbering_ = 0;
  uint32_t next_ = 0;                          // the next number to show
  std::map<uint32_t, std::u16string> early_;   // came before their turn
  std::deque<uint32_t> left_behind_;           // numberings seen before
  // A peer without numbering.
  uint32_t last_ = 0;
  uint32_t window_ = 0;
};

}  // namespace orv
