// How the sender paces its blocks, in one place: how many blocks may be in
// flight unacknowledged, how far that window may grow, and how long a block
// waits before it is sent again. Each record keeps its own copy, so every
// transfer adapts on its own. The receiver holds as many out-of-order
// blocks as `receive_slots` says.
#pragma once

#include <cstdint>

namespace orv {

constexpr uint32_t kTickMs = 50;               // one tick of the transfer thread
constexpr uint32_t kRequestResendTicks = 50;   // request and cancel repeated every 2.5 s
// 30 s without any message of the transfer from the peer: a sender resends
// its unacknowledged blocks within seconds, a receiver answers every block
// and every repeated request, so this much silence means the peer or the
// link is gone (a session lost for a few seconds comes back well within it).
constexpr uint32_t kActiveTimeoutTicks = 600;
constexpr uint32_t kShortTimeoutTicks = 600;     // 30 s: answer a request, or stay visible once ended

// The most blocks a record may hold in either direction.
constexpr uint32_t kMaxWindowSlots = 4096;

struct TransferWindow {
  // The window a transfer starts with, and the least it shrinks to: every
  // receiver copes with 10 blocks in flight.
  uint32_t blocks_in_flight = 10;
  // The most the window grows to while blocks are acknowledged. Equal to
  // `blocks_in_flight`: a fixed window, resent after exactly `resend_ticks`.
  // As many as a receiver of ours keeps out of order: more could only be
  // dropped by it while a lost block is sent again.
  uint32_t max_blocks_in_flight = 512;
  // A block unacknowledged for 250 ms is sent again: the resend time-out
  // until the round trip is measured, and never less afterwards.
  uint32_t resend_ticks = 5;
  // Out-of-order blocks the receiver keeps (about 330 bytes each, taken only
  // while held).
  uint32_t receive_slots = 512;

  bool Adaptive() const { return max_blocks_in_flight > blocks_in_flight; }
};

// The classic window: 10 blocks in flight, each resent every 250 ms, and a
// receiver that keeps 10 blocks that came early.
inline TransferWindow ClassicTransferWindow() {
  TransferWindow w;
  w.max_blocks_in_flight = w.blocks_in_flight;
  w.receive_slots = 10;
  return w;
}

}  // namespace orv
