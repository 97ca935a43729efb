#include "net/protected_path.hpp"

#include "crypto/packet_seal.hpp"
#include "net/endpoint.hpp"
#include "net/handshake_reactions.hpp"
#include "net/name_exchange.hpp"
#include "net/session_start.hpp"

namespace orv {
namespace {

// A sealed datagram in state "Ses confirmation" means the peer has the
// session, when it opens under the keys this handshake made: it counts as
// "confirmed". One sealed under an older session proves nothing. Must hold
// the peer table lock.
void TakeAsConfirmation(PeerRecord& peer, const Arrival& arrival, Aftermath& after, uint64_t now_tick) {
  std::unique_lock<std::mutex> lock = TryPeerLock(peer);
  if (PeerBusy(peer, lock) || !peer.setup || peer.setup->state != kSesConfirmation) return;
  const KeystreamGenerator& keys = peer.setup->initiator.cipher.receive;
  if (!peer.setup->initiator.established ||
      !PacketOpens(keys, arrival.data + kHeaderBytes, arrival.length - kHeaderBytes))
    return;
  ConfirmBySession(peer, AddressText(arrival.sender.ipv4, arrival.sender.port), after, now_tick);
}

// The peer holds a session this side does not have (it restarted, or lost
// it, or gave up a handshake the peer finished): a ping from here starts a
// new one at once, instead of when the peer's sends go unanswered a
// hundred times. Must hold the peer table lock.
void PingForLostSession(NetworkEndpoint& endpoint, PeerRecord& peer, const Arrival& arrival) {
  {
    std::unique_lock<std::mutex> lock = TryPeerLock(peer);
    if (PeerBusy(peer, lock)) return;
    if (peer.setup && peer.setup->state != kIdle && peer.setup->state != kPinging) return;
  }
  StartSession(endpoint, peer, arrival.sender);
}

// The calling side keeps its setup until the first sealed datagram.
void DropFinishedSetup(PeerRecord& peer) {
  std::unique_lock<std::mutex> lock = TryPeerLock(peer);
  if (!PeerBusy(peer, lock)) DiscardSetup(peer.setup);
}

void TraceOpened(NetworkEndpoint& endpoint, const uint8_t* plaintext, size_t length) {
  if (!endpoint.host.LogFileOpen()) return;
  uint32_t words[2];
  FirstTwoWords(plaintext, length, words);
  endpoint.host.TraceData(PacketDirection::kReceived, words);
}

}  // namespace

void ReceiveProtected(NetworkEndpoint& endpoint, const Arrival& arrival, Aftermath& after) {
  PeerRecord& peer = *arrival.peer;
  if (!peer.connected) TakeAsConfirmation(peer, arrival, after, endpoint.retry_ticks.load());
  if (!peer.connected) {
    PingForLostSession(endpoint, peer, arrival);
    return;
  }
  if (!peer.cipher.keys_loaded) {
    peer.dropped.fetch_add(1);
    return;
  }
  const size_t n = OpenPacket(peer.cipher.receive, arrival.plaintext, kMaxDatagram, arrival.data + kHeaderBytes,
                              arrival.length - kHeaderBytes, &peer.cipher.late);
  after.plaintext_used = n;
  if (n <= 4) {
    peer.dropped.fetch_add(1);
    return;
  }
  peer.sent_without_reply.store(0);
  peer.last_reply_tick.store(endpoint.retry_ticks.load());
  TraceOpened(endpoint, arrival.plaintext, n);
  DropFinishedSetup(peer);
  peer.secured.fetch_add(1);
  switch (arrival.type) {
    case kEncoded:
      after.payload = arrival.plaintext;
      after.payload_length = n;
      break;
    case kNameReq:
      AnswerNameRequest(endpoint, arrival, arrival.plaintext, n);
      break;
    case kNameResp:
      ReceiveNameResponse(after, arrival.plaintext, n);
      break;
    default:
      break;
  }
}

}  // namespace orv
