// Duplicate-free delivery of chat texts: the last received sequence number
// L and a 32-bit window W in which bit 31 stands for L and bit 31 - d for
// the number d below it.
//
// A window that holds no bit has received nothing since the numbers were
// last reset, so whatever number comes first starts it. Otherwise a number
// above L moves the window up; a number inside the window is delivered
// once and dropped as a duplicate after that. Below the window only 0
// starts it again (the peer restarts its numbering at 0): any other number
// that far below is an old text resent because its acknowledgement was
// lost, shown long ago. Message 0 inside the window is a duplicate too.
#pragma once

#include <cstdint>

namespace orv {

constexpr uint32_t kWindowTop = 0x80000000u;
constexpr uint32_t kWindowSpan = 32;

enum class ReceiveVerdict { kDeliver, kDuplicate };

// Looks `sequence` up in the window of `last`/`window` and updates both.
// The caller guards them (the channel lock).
ReceiveVerdict AcceptSequence(uint32_t& last, uint32_t& window, uint32_t sequence);

}  // namespace orv
