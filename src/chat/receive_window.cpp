#include "chat/receive_window.hpp"

namespace orv {

ReceiveVerdict AcceptSequence(uint32_t& last, uint32_t& window, uint32_t sequence) {
  if (window == 0) {
    last = sequence;
    window = kWindowTop;
    return ReceiveVerdict::kDeliver;
  }
  if (sequence > last) {
    const uint32_t shift = sequence - last;
    window = shift >= kWindowSpan ? 0 : window >> shift;
    last = sequence;
    window |= kWindowTop;
    return ReceiveVerdict::kDeliver;
  }
  const uint32_t below = last - sequence;
  if (below >= kWindowSpan) {
    if (sequence != 0) return ReceiveVerdict::kDuplicate;
    last = sequence;
    window = kWindowTop;
    return ReceiveVerdict::kDeliver;
  }
  const uint32_t bit = kWindowTop >> below;
  if (window & bit) return ReceiveVerdict::kDuplicate;
  window |= bit;
  return ReceiveVerdict::kDeliver;
}

}  // namespace orv
