// HandleDhtMessage: the answers to requests, the replies that move lookups
// and keyword slots on, and the sender noted as a live node.
#include "crypto/byte_order.hpp"
#include "dht/dht_engine.hpp"
#include "dht/engine_pending.hpp"

namespace orv {
namespace {

// The entries of a reply worth taking: reachable, and not this node.
size_t UsableEntries(const std::array<PeerRef, kMaxReplyEntries>& in, size_t count, const uint32_t* own,
                     std::array<PeerRef, kMaxReplyEntries>& out) {
  size_t n = 0;
  for (size_t i = 0; i < count; ++i)
    if (Reachable(in[i]) && !SameUserId(in[i].user_id, own)) out[n++] = in[i];
  return n;
}

}  // namespace

void DhtEngine::HandleDhtMessage(const uint8_t* data, size_t length, const PeerRef& sender) {
  if (length < 4) return;
  const uint32_t type = LoadLe32(data);
  Pending pending;
  {
    std::lock_guard<std::mutex> held(lock_);
    EndBootstrap();
    if (!KnownDhtType(type)) return;
    Respond(data, length, type, sender, pending);
    if (BucketIndex(sender.user_id, own_.user_id) >= 0) {
      NoteInTable(table_, sender, true, clock_.NowMs(), network_);
      pending.store = store_.load();
      pending.noted = sender;
    }
  }
  Fire(pending);
}

void DhtEngine::Respond(const uint8_t* data, size_t length, uint32_t type, const PeerRef& sender, Pending& pending) {
  switch (type) {
    case kDhtPing:
      Send(sender, BareMessage(kDhtPingResp));
      break;
    case kFindNode:
      if (length >= kKeyMessageBytes) AnswerFindNode(data, sender);
      break;
    case kStoreValue:
      if (length >= kKeyValueMessageBytes) AnswerStoreValue(data, sender);
      break;
    case kFindValue:
      if (length >= kKeyMessageBytes) AnswerFindValue(data, sender);
      break;
    case kFindNodeResp:
    case kFindValueNodes:
      NodesArrived(data, length, type, sender, pending);
      break;
    case kFindValueResp:
      if (length >= kKeyValueMessageBytes) ValueFound(data, pending);
      break;
    default:  // dht_ping_resp, store_value_resp: nothing further
      break;
  }
}

void DhtEngine::NodesArrived(const uint8_t* data, size_t length, uint32_t type, const PeerRef& sender,
                             Pending& pending) {
  std::array<PeerRef, kMaxReplyEntries> listed;
  std::array<PeerRef, kMaxReplyEntries> usable;
  size_t count = 0;
  if (!ReadNodeList(data, length, listed, count)) return;
  const size_t n = UsableEntries(listed, count, own_.user_id, usable);
  if (type == kFindNodeResp) {
    HandleNodesReply(sender, usable.data(), n, pending);
    NoteEntries(usable.data(), n);
  } else {
    OfferToSlots(usable.data(), n);
  }
  // The network layer records the addresses of known peers and pings
  // unknown ones.
  pending.address_updates.assign(usable.begin(), usable.begin() + static_cast<std::ptrdiff_t>(n));
}

void DhtEngine::AnswerFindNode(const uint8_t* data, const PeerRef& sender) {
  uint32_t target[kUserIdWords];
  ReadKey(data, target);
  std::array<PeerRef, kMaxReplyEntries> closest;
  const size_t n = ClosestInTable(table_, target, closest.data(), closest.size());
  Send(sender, NodeListMessage(kFindNodeResp, closest.data(), n));
}

void DhtEngine::NoteEntries(const PeerRef* entries, size_t count) {
  const uint64_t now = clock_.NowMs();
  for (size_t i = 0; i < count; ++i) NoteInTable(table_, entries[i], false, now, network_);
}

void DhtEngine::AnswerStoreValue(const uint8_t* data, const PeerRef& sender) {
  uint32_t key[kUserIdWords];
  uint32_t value[kUserIdWords];
  ReadKeyValue(data, key, value);
  if (StorePair(stored_, key, value, sender.user_id, clock_.NowMs()) == StoreResult::kRefused) return;
  Send(sender, BareMessage(kStoreValueResp));
}

void DhtEngine::AnswerFindValue(const uint8_t* data, const PeerRef& sender) {
  uint32_t key[kUserIdWords];
  ReadKey(data, key);
  if (const StoredPair* pair = FindPair(stored_, key, clock_.NowMs())) {
    Send(sender, KeyValueMessage(kFindValueResp, key, pair->value));
    return;
  }
  std::array<PeerRef, kMaxReplyEntries> closest;
  const size_t n = ClosestInTable(table_, key, closest.data(), closest.size());
  Send(sender, NodeListMessage(kFindValueNodes, closest.data(), n));
}

}  // namespace orv
