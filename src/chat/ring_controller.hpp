// The ring window of a conversation as a controller: an incoming call is
// shown with the ring tone for as long as call requests keep arriving and
// closes 11 ticks after the last one; while the user calls out it stays
// hidden and plays the dial tone. The conversation ticks it once a second
// and tells the window what changed.
#pragma once

#include <cstdint>

namespace orv {

enum class Tone { kDial, kRing };  // "waveDial", "waveRing"

constexpr uint32_t kRingCloseTicks = 11;

class RingController {
 public:
  // Opens the window: hidden with the dial tone while `dialing` (the call
  // state is "DIALING"), otherwise shown with the ring tone. False when it
  // is open already.
  bool Open(bool dialing);
  // Another call request: the count starts again.
  void RestartCount() { ticks_ = 0; }
  // One second: "DIALING" waits, "IN VOICE" closes it, any other state
  // counts towards 11. True when the window closed.
  bool Tick(uint32_t call_state);
  // False when it was not open.
  bool Close();

  bool open() const { return open_; }
  bool shown() const { return open_ && tone_ == Tone::kRing; }
  Tone tone() const { return tone_; }
  uint32_t ticks() const { return ticks_; }

 private:
  bool open_ = false;
  Tone tone_ = Tone::kRing;
  uint32_t ticks_ = 0;
};

}  // namespace orv
