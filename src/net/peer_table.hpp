// The table of known peers: one PeerRecord per UserId the endpoint has
// talked to or been asked to reach, in the order they came.
//
// Locks: the peer table lock (NetworkEndpoint::table_lock) guards the table
// and every record's address, connected flag, name, away flag and session
// keys; each record's peer lock guards its SessionSetup. The peer lock is
// taken after the table lock, and only ever tried while the table lock is
// held, so a handshake worker that holds a peer lock (perhaps while the
// password is asked for) never stalls the receive loop. A worker holding a
// peer lock may take the table lock to install its results.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crypto/packet_seal.hpp"
#include "net/peer_ref.hpp"
#include "net/session_setup.hpp"

namespace orv {

struct NetworkEndpoint;

constexpr size_t kNameUnits = 224;  // 223 UTF-16 characters and the terminator
constexpr size_t kMaxNameBytes = 446;
constexpr uint32_t kLostSessionSends = 100;
// A session counts as lost after 100 sealed sends without an answer only
// when nothing came back for this long either (retry ticks): a burst of
// resends (a hundred chat lines waiting) is no sign of a lost peer.
constexpr uint64_t kLostSessionTicks = 50;

struct PeerRecord {
  uint32_t user_id[kUserIdWords] = {};
  uint32_t ipv4 = 0;
  uint16_t port = 0;
  bool connected = false;
  std::array<char16_t, kNameUnits> name{};  // "<unknown>" until a handshake names the peer
  uint32_t name_length = 0;                 // bytes
  bool away = false;
  // Traffic counters; atomic because handshake workers count their sends
  // without the table lock.
  std::atomic<uint32_t> sent_without_reply{0};
  std::atomic<uint64_t> last_reply_tick{0};  // retry tick of the last sealed datagram that opened, or of the session's start
  std::atomic<uint32_t> received_control{0};
  std::atomic<uint32_t> secured{0};
  std::atomic<uint32_t> dropped{0};
  std::atomic<uint32_t> sent_control{0};
  std::mutex peer_lock;
  std::unique_ptr<SessionSetup> setup;
  SessionCipherState cipher;
  // The last fragment of the confirmation that made the current session
  // (answering side): a calling side that resends it missed "confirmed",
  // which then goes again.
  uint64_t confirm_tail_hash = 0;
  // Set when the record left the table while a worker held its peer lock:
  // the worker then throws its results away.
  std::atomic<bool> removed{false};
  // Set by RestartNetwork when a worker held the peer lock: the worker
  // discards the setup instead of installing a session.
  std::atomic<bool> discard_setup{false};
};

using PeerTable = std::vector<std::shared_ptr<PeerRecord>>;

// A record with that UserId and address, named "<unknown>", not connected,
// counters 0, keys reset, no setup.
std::shared_ptr<PeerRecord> NewPeerRecord(const PeerRef& ref);

// Takes a record out of service: its setup is discarded under its peer lock
// when that lock is free (otherwise the worker holding it finds the record
// removed and discards it), and its keys are reset. The memory goes with
// the last reference. Must hold the peer table lock.
void DestroyPeerRecord(PeerRecord& record);

// The record of `user_id`, or null; with `create`, a missing record is made
// from `ref` (the UserId and address to use) and appended. Must hold the
// peer table lock.
PeerRecord* FindPeer(NetworkEndpoint& endpoint, const uint32_t* user_id, bool create, const PeerRef* ref = nullptr);

// The peer's name (UTF-16), or "<unknown>" when the UserId is not in the table.
std::u16string GetPeerName(NetworkEndpoint& endpoint, const uint32_t* user_id);

// 0 not in the table or not connected, 1 connected and online, 2 connected and away.
int GetPeerPresence(NetworkEndpoint& endpoint, const uint32_t* user_id);

// 1 and the session digest (8 words) when the peer's keys are loaded, else 0.
int GetSessionId(NetworkEndpoint& endpoint, const uint32_t* user_id, uint32_t* digest);

// 1 and the peer's UserId and address when known, else 0.
int GetPeerRef(NetworkEndpoint& endpoint, const uint32_t* user_id, PeerRef& out);

// What the network list and the chat window show of a peer.
struct PeerStatus {
  PeerRef ref;
  std::string name;          // the announced name (UTF-8), "<unknown>" until a handshake names the peer
  bool connected = false;
  bool away = false;
  int32_t state = -1;        // setup state, -1 without a setup
  bool setup_busy = false;   // a worker holds the peer lock; the state is not known
  uint32_t sent_without_reply = 0;
  uint32_t received_control = 0;
  uint32_t secured = 0;
  uint32_t dropped = 0;
  uint32_t sent_control = 0;
  uint64_t lost_bytes = 0;   // keystream the receive generator skipped
};

std::optional<PeerStatus> GetPeerStatus(NetworkEndpoint& endpoint, const uint32_t* user_id);
std::vector<PeerStatus> ListPeers(NetworkEndpoint& endpoint);

// "Connected", "Not connected", or the state name and the sent-without-reply
// count ("%s %d"), as the network list shows a peer.
std::string PeerStateText(const PeerStatus& status);

// "packets overhead: %d, secured: %d, dropped: %d, sent: %d, lost bytes: %d"
std::string PeerCountersText(const PeerStatus& status);

// The peer's name as UTF-8 (for log texts).
std::string NameUtf8(const char16_t* name, size_t bytes);

}  // namespace orv
