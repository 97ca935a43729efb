// Starting a session with a peer that has none, and losing one.
#pragma once

#include "net/peer_ref.hpp"
#include "net/peer_table.hpp"

namespace orv {

struct NetworkEndpoint;

// The session is lost (a hundred sealed datagrams went unanswered): the
// peer is no longer connected and its keys go, and so does a handshake
// this side was calling with; one the peer runs with this side stays.
// Must hold the peer table lock.
void LoseSession(PeerRecord& peer);

// A ping to the peer, at `target`'s address when it has one (else the
// peer's recorded address), unless a handshake is already past pinging or
// the last ping went less than a second ago. Must hold the peer table lock.
void StartSession(NetworkEndpoint& endpoint, PeerRecord& peer, const PeerRef& target);

}  // namespace orv
