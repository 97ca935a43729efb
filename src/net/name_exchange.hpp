// The search for a user by name among the peers: locally, and by asking
// connected peers ("name_req", answered by "name_resp").
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/peer_table.hpp"
#include "net/receive_context.hpp"

namespace orv {

// A record matches a query of q bytes when the first min(name length, q)
// bytes of its name (raw UTF-16LE) equal those of the query; over zero
// bytes everything matches.
bool NameMatches(const PeerRecord& record, const uint8_t* query, size_t q);

// A "name_req" opened from the requester: one "name_resp" per matching
// record, sealed for the requester, to the address the request came from.
// Must hold the peer table lock.
void AnswerNameRequest(NetworkEndpoint& endpoint, const Arrival& arrival, const uint8_t* plaintext, size_t length);

// A "name_resp" opened: its first 32 bytes are the UserId found.
void ReceiveNameResponse(Aftermath& after, const uint8_t* plaintext, size_t length);

}  // namespace orv
