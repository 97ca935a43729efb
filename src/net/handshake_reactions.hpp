// The receive thread's reactions to the handshake datagrams (types 1-4 and
// 7-11). Each counts the datagram as received control traffic and tries the
// peer lock; when that is busy, requests and confirmations are answered
// with "busy" and everything else is ignored.
#pragma once

#include "net/receive_context.hpp"

namespace orv {

// Must hold the peer table lock.
void ReactToHandshake(NetworkEndpoint& endpoint, const Arrival& arrival, Aftermath& after);

// The peer gets its session from the setup's context: keys, connected,
// address = the setup's, nothing sent without reply. False (nothing changed)
// when the context is not established. Must hold the peer table lock and
// the peer lock.
bool InstallSession(PeerRecord& peer, HandshakeCommon& context, const SessionSetup& setup, uint64_t now_tick);

// Must hold the peer table lock and the peer lock.
void ConfirmBySession(PeerRecord& peer, const std::string& address, Aftermath& after, uint64_t now_tick);

}  // namespace orv
