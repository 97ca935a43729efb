// How the sender paces its blocks, in one place: how many blocks may be in
// flight unacknowledged and how long a block waits before it is sent again.
// Both are read through a TransferWindow the engine keeps per record, so a
// later congestion control can grow or shrink them per transfer without
// touching the rest of the engine. The receiver holds as many out-of-order
// blocks as `receive_slots` says.
#pragma once

#include <cstdint>

namespace orv {

constexpr uint32_t kTickMs = 50;               // one tick of the transfer thread
constexpr uint32_t kRequestResendTicks = 50;   // request and cancel repeated every 2.5 s
constexpr uint32_t kActiveTimeoutTicks = 12000;  // 10 minutes without an answer
constexpr uint32_t kShortTimeoutTicks = 600;     // 30 s: answer a request, or stay visible once ended

struct TransferWindow {
  uint32_t blocks_in_flight = 10;  // slots the sender fills (at most kMaxWindowSlots)
  uint32_t resend_ticks = 5;       // a block unacknowledged for 250 ms is sent again
  uint32_t receive_slots = 10;     // out-of-order blocks the receiver keeps
};

// The most slots a record may have in either direction.
constexpr uint32_t kMaxWindowSlots = 256;

}  // namespace orv
