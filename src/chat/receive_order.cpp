#include "chat/receive_order.hpp"

#include <algorithm>

namespace orv {

ChatReceiveOrder::Result ChatReceiveOrder::Receive(const ChatText& text) {
  return text.numbering ? ReceiveNumbered(text) : ReceiveUnnumbered(text);
}

void ChatReceiveOrder::PeerRestarted() {
  if (numbered_) return;  // a peer of ours never restarts its numbers
  last_ = 0;
  window_ = 0;
}

bool ChatReceiveOrder::LeftBehind(uint32_t numbering) const {
  return std::find(left_behind_.begin(), left_behind_.end(), numbering) != left_behind_.end();
}

void ChatReceiveOrder::StartNumbering(const ChatNumbering& numbering) {
  if (numbered_) {
    left_behind_.push_back(numbering_);
    if (left_behind_.size() > kRememberedNumberings) left_behind_.pop_front();
  }
  numbered_ = true;
  numbering_ = numbering.id;
  next_ = numbering.lowest_unacknowledged;
  early_.clear();
}

ChatReceiveOrder::Result ChatReceiveOrder::ReceiveNumbered(const ChatText& text) {
  Result result;
  const ChatNumbering& numbering = *text.numbering;
  if (numbering.id != numbering_ || !numbered_) {
    if (LeftBehind(numbering.id)) return result;
    StartNumbering(numbering);
  }
  // Everything below the peer's lowest waiting number was acknowledged, so
  // shown; a gap below it can only be a conversation of ours that started
  // late, and there is nothing to wait for.
  if (static_cast<int32_t>(numbering.lowest_unacknowledged - next_) > 0) {
    next_ = numbering.lowest_unacknowledged;
    early_.erase(early_.begin(), early_.lower_bound(next_));
  }
  const int32_t ahead = static_cast<int32_t>(text.sequence - next_);
  if (ahead < 0) {
    result.acknowledge.push_back(text.sequence);
    return result;
  }
  if (ahead > 0) {
    if (static_cast<size_t>(ahead) <= kMaxEarlyTexts) early_.emplace(text.sequence, text.text);
    return result;
  }
  result.acknowledge.push_back(next_);
  result.show.push_back(text.text);
  ++next_;
  for (auto it = early_.find(next_); it != early_.end(); it = early_.find(next_)) {
    result.acknowledge.push_back(next_);
    result.show.push_back(std::move(it->second));
    early_.erase(it);
    ++next_;
  }
  return result;
}

ChatReceiveOrder::Result ChatReceiveOrder::ReceiveUnnumbered(const ChatText& text) {
  Result result;
  result.acknowledge.push_back(text.sequence);  // every copy, duplicates too
  if (AcceptSequence(last_, window_, text.sequence) == ReceiveVerdict::kDeliver) result.show.push_back(text.text);
  return result;
}

}  // namespace orv
