// Lookups by UserId: LocateUser starts one, replies move it on, the pass
// asks again where queries went unanswered, and it ends when the target is
// reached or nobody is left to ask.
#include "dht/dht_engine.hpp"
#include "dht/engine_pending.hpp"

namespace orv {

bool DhtEngine::LocateUser(const uint32_t* user_id, PeerRef* out) {
  if (IsOwn(user_id)) {
    if (out) {
      *out = own_;  // address only: the UserId may be changing
      const OwnUserId::Words id = own_id_.Get();
      CopyUserId(out->user_id, id.data());
    }
    return true;
  }
  if (IsZeroUserId(user_id)) return false;
  Pending pending;
  {
    std::lock_guard<std::mutex> held(lock_);
    if (const DhtNode* node = FindInTable(table_, user_id)) {
      if (out) *out = node->ref;
      return true;
    }
    if (lookup_.running && !lookup_.self) return false;
    StartLookup(lookup_, table_, user_id, false);
    QueryNextTimes(kParallelQueries);
    CheckLookupEnd(pending);
  }
  Fire(pending);
  return false;
}

bool DhtEngine::QueryNext() {
  if (!lookup_.running) return false;
  const int next = NextToQuery(lookup_);
  if (next < 0) return false;
  ShortlistEntry& entry = lookup_.entries[static_cast<size_t>(next)];
  MarkQueried(entry, passes_);
  ++lookup_.queries;
  Send(entry.ref, KeyMessage(kFindNode, lookup_.target));
  return true;
}

void DhtEngine::QueryNextTimes(size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!QueryNext()) return;
}

void DhtEngine::EndLookup(const PeerRef* found, Pending& pending) {
  lookup_.running = false;
  if (lookup_.self) return;
  pending.lookup_ended = true;
  pending.ended_target = IdWords(lookup_.target);
  pending.target_found = found != nullptr;
  if (found) pending.found = *found;
}

void DhtEngine::CheckLookupEnd(Pending& pending) {
  if (lookup_.running && LookupExhausted(lookup_)) EndLookup(nullptr, pending);
}

void DhtEngine::HandleNodesReply(const PeerRef& sender, const PeerRef* entries, size_t count, Pending& pending) {
  if (!lookup_.running) return;
  MarkAnswered(lookup_, sender);
  PeerRef found;
  if (TargetReached(lookup_, sender, entries, count, found)) {
    EndLookup(&found, pending);
    return;
  }
  for (size_t i = 0; i < count; ++i) MergeEntry(lookup_, entries[i]);
  QueryNextTimes(kParallelQueries);
  CheckLookupEnd(pending);
}

void DhtEngine::LookupUpkeep(Pending& pending) {
  if (!lookup_.running) return;
  ExpireQueries(lookup_, passes_);
  const size_t outstanding = OutstandingQueries(lookup_);
  if (outstanding < kParallelQueries) QueryNextTimes(kParallelQueries - outstanding);
  CheckLookupEnd(pending);
}

void DhtEngine::PingOrLocate(const PeerRef& contact) {
  if (IsOwn(contact.user_id)) return;
  {
    std::lock_guard<std::mutex> held(lock_);
    if (const DhtNode* node = FindInTable(table_, contact.user_id)) {
      Send(node->ref, BareMessage(kDhtPing));
      return;
    }
  }
  LocateUser(contact.user_id, nullptr);
  NoteDhtNode(contact, false, nullptr);
  if (!Reachable(contact)) return;
  std::lock_guard<std::mutex> held(lock_);
  Send(contact, BareMessage(kDhtPing));
}

}  // namespace orv
