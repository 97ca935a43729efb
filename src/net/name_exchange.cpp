#include "net/name_exchange.hpp"

#include <cstring>
#include <mutex>

#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"
#include "net/datagram.hpp"
#include "net/endpoint.hpp"
#include "net/sealed_send.hpp"

namespace orv {
namespace {

constexpr size_t kMaxQueryPlaintext = 4 + kMaxNameBytes + 2;

// The query's plaintext: its length, its bytes, zeros up to a multiple of 4.
size_t BuildNameQuery(uint8_t* out, const uint8_t* name, size_t q) {
  const size_t total = (4 + q + 3) & ~size_t{3};
  std::memset(out, 0, total);
  StoreLe32(out, static_cast<uint32_t>(q));
  if (q) std::memcpy(out + 4, name, q);
  return total;
}

// Must hold the peer table lock.
void AskPeer(NetworkEndpoint& endpoint, PeerRecord& peer, const uint8_t* query, size_t length) {
  SendSealed(endpoint, peer, kNameReq, query, length, peer.ipv4, peer.port);
  peer.sent_control.fetch_add(1);
  if (peer.sent_without_reply.fetch_add(1) + 1 >= kLostSessionSends) {
    peer.connected = false;
    SessionCipherReset(peer.cipher);
  }
}

}  // namespace

bool NameMatches(const PeerRecord& record, const uint8_t* query, size_t q) {
  const size_t n = record.name_length < q ? record.name_length : q;
  for (size_t i = 0; i < n; ++i) {
    const char16_t unit = record.name[i / 2];
    const uint8_t byte = static_cast<uint8_t>(i % 2 == 0 ? unit & 0xff : unit >> 8);
    if (byte != query[i]) return false;
  }
  return true;
}

void AnswerNameRequest(NetworkEndpoint& endpoint, const Arrival& arrival, const uint8_t* plaintext, size_t length) {
  const uint64_t q = LoadLe32(plaintext);
  if (length < 4 + q) return;
  PeerRecord& requester = *arrival.peer;
  for (const auto& record : endpoint.peers) {
    if (!NameMatches(*record, plaintext + 4, static_cast<size_t>(q))) continue;
    uint8_t found[kUserIdBytes];
    WordsToLeBytes(found, record->user_id, kUserIdWords);
    SendSealed(endpoint, requester, kNameResp, found, sizeof found, arrival.sender.ipv4, arrival.sender.port);
  }
}

void ReceiveNameResponse(Aftermath& after, const uint8_t* plaintext, size_t length) {
  if (length < kUserIdBytes) return;
  std::array<uint32_t, kUserIdWords> id{};
  LeBytesToWords(id.data(), plaintext, kUserIdWords);
  after.found_users.push_back(id);
}

bool FindUserByName(NetworkEndpoint& endpoint, const uint8_t* name, size_t bytes, uint32_t* user_id) {
  if (bytes > kMaxNameBytes) return false;
  {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    const PeerRecord* match = nullptr;
    for (const auto& record : endpoint.peers) {
      if (NameMatches(*record, name, bytes)) {
        match = record.get();
        break;
      }
    }
    if (!match) {
      uint8_t query[kMaxQueryPlaintext];
      const size_t length = BuildNameQuery(query, name, bytes);
      for (const auto& record : endpoint.peers)
        if (record->connected) AskPeer(endpoint, *record, query, length);
      return false;
    }
    CopyUserId(user_id, match->user_id);
  }
  endpoint.host.UserFound(user_id);
  return true;
}

}  // namespace orv
