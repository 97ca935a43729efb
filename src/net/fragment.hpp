// Collecting the fragments of a handshake message (types 1, 2 and 7).
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/session_setup.hpp"

namespace orv {

// Takes one fragment into the setup's reassembly buffer. `body` is what
// follows the type word; `b` is the datagram length less the UserId (the
// type word and the body). A fragment is refused, and the received mask
// cleared, when its index is not below its count, the count is above 23,
// a fragment that is not the last does not carry exactly 348 bytes or the
// last carries more. True when fragments 0 to count - 1 are all in; the
// caller then clears the mask for the next message.
bool ReassembleFragment(uint32_t type_word, const uint8_t* body, size_t b, SessionSetup& setup);

// A fingerprint of the last fragment of a message of `length` bytes (FNV-1a
// over that fragment's bytes), to know a resent message again without
// keeping it. Not a protection: it only spares a reply.
uint64_t LastFragmentHash(const uint8_t* message, size_t length);
uint64_t FragmentBytesHash(const uint8_t* bytes, size_t n);

}  // namespace orv
