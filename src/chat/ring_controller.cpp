#include "chat/ring_controller.hpp"

#include "chat/call_control.hpp"

namespace orv {

bool RingController::Open(bool dialing) {
  if (open_) return false;
  open_ = true;
  tone_ = dialing ? Tone::kDial : Tone::kRing;
  ticks_ = 0;
  return true;
}

bool RingController::Tick(uint32_t call_state) {
  if (!open_ || call_state == kCallDialing) return false;
  if (call_state != kCallInVoice && ++ticks_ < kRingCloseTicks) return false;
  return Close();
}

bool RingController::Close() {
  if (!open_) return false;
  open_ = false;
  ticks_ = 0;
  return true;
}

}  // namespace orv
