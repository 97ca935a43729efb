// A bound on the handshake computations that run at once in the process.
// Each completed handshake message gets a thread of its own; fifty calls at
// once would otherwise share the processors fifty ways, so every handshake
// (and the one password derivation that all the others queue behind) would
// crawl, together with the receive threads that collect the messages.
// Bounded, the handshakes finish one after another at full speed.
#pragma once

#include <cstddef>

namespace orv {

// Holds one of the process's slots for as long as it lives; waits for one.
class ComputeSlot {
 public:
  ComputeSlot();
  ~ComputeSlot();
  ComputeSlot(const ComputeSlot&) = delete;
  ComputeSlot& operator=(const ComputeSlot&) = delete;
};

// How many slots there are: one more than the processors, so that a
// processor stays busy while one holder waits for the password table.
size_t ComputeSlotCount();

}  // namespace orv
