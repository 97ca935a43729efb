#include "net/peer_table.hpp"

#include <new>

#include "identity/utf16.hpp"
#include "net/endpoint.hpp"
#include "net/net_text.hpp"
#include "net/receive_context.hpp"

namespace orv {
namespace {

constexpr char16_t kUnknownName[] = u"<unknown>";
constexpr uint32_t kUnknownNameBytes = 18;

std::u16string NameOf(const PeerRecord& record) {
  return std::u16string(record.name.data(), record.name_length / 2);
}

// Must hold the peer table lock. Reads the setup only when the peer lock is
// free at once.
PeerStatus StatusOf(PeerRecord& record) {
  PeerStatus s;
  CopyUserId(s.ref.user_id, record.user_id);
  s.ref.ipv4 = record.ipv4;
  s.ref.port = record.port;
  s.name = NameUtf8(record.name.data(), record.name_length);
  s.connected = record.connected;
  s.away = record.away;
  s.sent_without_reply = record.sent_without_reply.load();
  s.received_control = record.received_control.load();
  s.secured = record.secured.load();
  s.dropped = record.dropped.load();
  s.sent_control = record.sent_control.load();
  s.lost_bytes = record.cipher.receive.skipped;
  std::unique_lock<std::mutex> peer = TryPeerLock(record);
  if (!peer.owns_lock()) {
    s.setup_busy = true;
  } else if (record.setup) {
    s.setup_busy = record.setup->worker_pending;
    s.state = static_cast<int32_t>(record.setup->state);
  }
  return s;
}

}  // namespace

std::shared_ptr<PeerRecord> NewPeerRecord(const PeerRef& ref) {
  std::shared_ptr<PeerRecord> record;
  try {
    record = std::make_shared<PeerRecord>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  CopyUserId(record->user_id, ref.user_id);
  record->ipv4 = ref.ipv4;
  record->port = ref.port;
  std::copy(std::begin(kUnknownName), std::end(kUnknownName), record->name.begin());
  record->name_length = kUnknownNameBytes;
  SessionCipherReset(record->cipher);
  return record;
}

void DestroyPeerRecord(PeerRecord& record) {
  record.removed.store(true);
  std::unique_lock<std::mutex> peer(record.peer_lock, std::try_to_lock);
  if (peer.owns_lock()) DiscardSetup(record.setup);
  record.connected = false;
  SessionCipherReset(record.cipher);
}

PeerRecord* FindPeer(NetworkEndpoint& endpoint, const uint32_t* user_id, bool create, const PeerRef* ref) {
  for (const auto& record : endpoint.peers)
    if (SameUserId(record->user_id, user_id)) return record.get();
  if (!create) return nullptr;
  PeerRef made;
  if (ref) made = *ref;
  CopyUserId(made.user_id, user_id);
  std::shared_ptr<PeerRecord> record = NewPeerRecord(made);
  if (!record) return nullptr;
  try {
    endpoint.peers.push_back(record);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return record.get();
}

std::u16string GetPeerName(NetworkEndpoint& endpoint, const uint32_t* user_id) {
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  const PeerRecord* record = FindPeer(endpoint, user_id, false);
  return record ? NameOf(*record) : std::u16string(kUnknownName);
}

int GetPeerPresence(NetworkEndpoint& endpoint, const uint32_t* user_id) {
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  const PeerRecord* record = FindPeer(endpoint, user_id, false);
  if (!record || !record->connected) return 0;
  return record->away ? 2 : 1;
}

int GetSessionId(NetworkEndpoint& endpoint, const uint32_t* user_id, uint32_t* digest) {
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  const PeerRecord* record = FindPeer(endpoint, user_id, false);
  if (!record || !record->cipher.keys_loaded) return 0;
  CopyUserId(digest, record->cipher.digest);
  return 1;
}

int GetPeerRef(NetworkEndpoint& endpoint, const uint32_t* user_id, PeerRef& out) {
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  const PeerRecord* record = FindPeer(endpoint, user_id, false);
  if (!record) return 0;
  CopyUserId(out.user_id, record->user_id);
  out.ipv4 = record->ipv4;
  out.port = record->port;
  return 1;
}

std::optional<PeerStatus> GetPeerStatus(NetworkEndpoint& endpoint, const uint32_t* user_id) {
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  PeerRecord* record = FindPeer(endpoint, user_id, false);
  if (!record) return std::nullopt;
  return StatusOf(*record);
}

std::vector<PeerStatus> ListPeers(NetworkEndpoint& endpoint) {
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  std::vector<PeerStatus> list;
  for (const auto& record : endpoint.peers) list.push_back(StatusOf(*record));
  return list;
}

std::string PeerStateText(const PeerStatus& status) {
  if (status.connected) return "Connected";
  if (status.state < 0) return "Not connected";
  return FormatText("%s %d", SetupStateName(static_cast<uint32_t>(status.state)),
                    static_cast<int>(status.sent_without_reply));
}

std::string PeerCountersText(const PeerStatus& s) {
  return FormatText("packets overhead: %d, secured: %d, dropped: %d, sent: %d, lost bytes: %d",
                    static_cast<int>(s.received_control), static_cast<int>(s.secured), static_cast<int>(s.dropped),
                    static_cast<int>(s.sent_control), static_cast<int>(s.lost_bytes));
}

std::string NameUtf8(const char16_t* name, size_t bytes) {
  // The name ends at its length or at a zero character, whichever comes first.
  std::u16string_view text(name, bytes / 2);
  const size_t end = text.find(u'\0');
  return Utf16ToUtf8(text.substr(0, end));
}

}  // namespace orv
