// Starting a session with a peer that has none, and losing one.
#include "net/session_start.hpp"

#include <mutex>

#include "net/endpoint.hpp"
#include "net/receive_context.hpp"
#include "net/send.hpp"

namespace orv {

// A hundred sealed datagrams went unanswered: the session is lost. The
// calling side may still keep the setup of the handshake that made it (it
// waits for the first sealed datagram); that setup goes too, so that the
// next send starts over with a ping. A handshake the peer is running with
// this side (answering states) stays: it is how the session comes back.
// Must hold the peer table lock.
void LoseSession(PeerRecord& peer) {
  peer.connected = false;
  peer.sent_without_reply.store(0);
  SessionCipherReset(peer.cipher);
  std::unique_lock<std::mutex> lock = TryPeerLock(peer);
  if (PeerBusy(peer, lock) || !peer.setup) return;
  const uint32_t state = peer.setup->state;
  if (state < kPingRequested || state == kRejected) DiscardSetup(peer.setup);
}

// No session: start one with a ping, unless a handshake is already past
// that. Every send while pinging would ping again; they go out at most
// once a second, the retry tick's own schedule doing the rest. Must hold
// the peer table lock.
void StartSession(NetworkEndpoint& endpoint, PeerRecord& peer, const PeerRef& target) {
  std::unique_lock<std::mutex> lock = TryPeerLock(peer);
  if (PeerBusy(peer, lock)) return;
  if (!peer.setup) peer.setup = NewSessionSetup();
  SessionSetup& s = *peer.setup;
  if (s.state != kIdle && s.state != kPinging) return;
  const uint64_t now = endpoint.retry_ticks.load();
  if (s.state == kPinging && now - s.ping_tick < kPingGapTicks) return;
  if (s.state == kIdle) {
    s.interval = kFirstResendTicks;
    s.retries = kPingRetries;
    s.countdown = s.interval;
  }
  s.state = kPinging;
  s.ping_tick = now;
  // A request that names the peer by UserId alone goes to its recorded address.
  const bool addressed = target.ipv4 != 0 || target.port != 0;
  s.ipv4 = addressed ? target.ipv4 : peer.ipv4;
  s.port = addressed ? target.port : peer.port;
  SendPing(endpoint, kPingReq, s.ipv4, s.port, peer.user_id, &peer.sent_control);
}

}  // namespace orv
