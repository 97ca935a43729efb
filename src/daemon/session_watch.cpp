#include "daemon/session_watch.hpp"

#include "identity/utf16.hpp"
#include "net/peer_table.hpp"

namespace orv {
namespace {

bool Contains(const std::vector<SessionEntry>& list, const SessionEntry& entry) {
  for (const SessionEntry& other : list)
    if (SameUserId(other.ref.user_id, entry.ref.user_id)) return true;
  return false;
}

}  // namespace

SessionChanges DiffSessions(const std::vector<SessionEntry>& before, const std::vector<SessionEntry>& now) {
  SessionChanges changes;
  for (const SessionEntry& entry : now)
    if (!Contains(before, entry)) changes.established.push_back(entry);
  for (const SessionEntry& entry : before)
    if (!Contains(now, entry)) changes.ended.push_back(entry);
  return changes;
}

void SessionWatch::Tick() {
  std::vector<SessionEntry> now;
  for (const PeerStatus& peer : ListPeers(endpoint_)) {
    if (!peer.connected) continue;
    SessionEntry entry{peer.ref, {}};
    for (const SessionEntry& known : sessions_)
      if (SameUserId(known.ref.user_id, peer.ref.user_id)) entry.name = known.name;
    if (entry.name.empty()) entry.name = Utf16ToUtf8(GetPeerName(endpoint_, peer.ref.user_id));
    now.push_back(std::move(entry));
  }
  const SessionChanges changes = DiffSessions(sessions_, now);
  for (const SessionEntry& entry : changes.ended)
    bus_.Emit("session_ended", Fields().UserId("user", entry.ref.user_id).Address("address", entry.ref.ipv4,
                                                                                    entry.ref.port));
  for (const SessionEntry& entry : changes.established)
    bus_.Emit("session_established", Fields()
                                         .UserId("user", entry.ref.user_id)
                                         .Address("address", entry.ref.ipv4, entry.ref.port)
                                         .Text("name", entry.name));
  sessions_ = std::move(now);
}

}  // namespace orv
