// SendToPeer: the one way every subsystem sends an inner payload.
#include <cstring>
#include <mutex>

#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"
#include "net/datagram.hpp"
#include "net/endpoint.hpp"
#include "net/receive_context.hpp"
#include "net/sealed_send.hpp"
#include "net/send.hpp"
#include "net/session_start.hpp"

namespace orv {
namespace {

// The record a request names: by UserId (made when missing), or, for an
// all-zero UserId, the record at the same address, whose UserId is then
// filled into the request. Must hold the peer table lock.
PeerRecord* TargetRecord(NetworkEndpoint& endpoint, PeerRef& target) {
  if (!IsZeroUserId(target.user_id)) return FindPeer(endpoint, target.user_id, true, &target);
  for (const auto& record : endpoint.peers) {
    if (record->ipv4 == target.ipv4 && record->port == target.port) {
      CopyUserId(target.user_id, record->user_id);
      return record.get();
    }
  }
  return nullptr;
}

// Seals inner type and data and sends them. Must hold the peer table lock.
int32_t SendPayload(NetworkEndpoint& endpoint, PeerRecord& peer, const SendRequest& request) {
  uint8_t plaintext[kMaxEncodedPlaintext];
  const size_t length = 4 + request.length;
  StoreLe32(plaintext, request.inner_type);
  if (request.length) std::memcpy(plaintext + 4, request.data, request.length);
  uint32_t words[2];
  FirstTwoWords(plaintext + 4, request.length, words);
  endpoint.host.TraceData(PacketDirection::kSent, words);
  const int32_t result = SendSealed(endpoint, peer, kEncoded, plaintext, length, peer.ipv4, peer.port);
  WipeBytes(plaintext, length);
  peer.sent_without_reply.fetch_add(1);
  return result;
}

}  // namespace

int32_t SendToPeer(NetworkEndpoint& endpoint, const SendRequest& request) {
  PeerRef& target = *request.target;
  if (SameUserId(target.user_id, endpoint.own_id.Get().data()) || !endpoint.enabled.load()) return 0;
  if (request.length > kMaxPayloadData || (request.length && !request.data)) return 0;
  std::unique_lock<std::mutex> table(endpoint.table_lock);
  const bool by_address = IsZeroUserId(target.user_id);
  PeerRecord* peer = TargetRecord(endpoint, target);
  if (!peer && !by_address) {
    table.unlock();
    endpoint.host.LogEvent("Network", "Not enough memory for new connection");
    return 0;
  }
  if (!peer) {
    table.unlock();
    SendPing(endpoint, kPingReq, target.ipv4, target.port, target.user_id, nullptr);
    return 0;
  }
  if (peer->connected) {
    const bool answered_lately = endpoint.retry_ticks.load() - peer->last_reply_tick.load() < kLostSessionTicks;
    if (peer->sent_without_reply.load() < kLostSessionSends || answered_lately)
      return SendPayload(endpoint, *peer, request);
    LoseSession(*peer);
  }
  StartSession(endpoint, *peer, target);
  return 0;
}

void SetAway(NetworkEndpoint& endpoint, bool away) { endpoint.away.store(away); }

}  // namespace orv
