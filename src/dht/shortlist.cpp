#include "dht/shortlist.hpp"

namespace orv {
namespace {

bool Empty(const ShortlistEntry& e) { return e.ref.ipv4 == 0; }

bool Askable(const ShortlistEntry& e) { return Reachable(e.ref) && !(e.flags & (kEntryQueried | kEntryGaveUp)); }

bool Waiting(const ShortlistEntry& e) {
  return !Empty(e) && (e.flags & kEntryQueried) && !(e.flags & (kEntryAnswered | kEntryGaveUp));
}

}  // namespace

void StartLookup(Lookup& lookup, const RoutingTable& table, const uint32_t* target, bool self) {
  lookup = Lookup{};
  lookup.running = true;
  lookup.self = self;
  CopyUserId(lookup.target, target);
  std::array<PeerRef, kShortlistSize> nodes;
  const size_t n = ClosestInTable(table, target, nodes.data(), nodes.size());
  for (size_t i = 0; i < n; ++i) lookup.entries[i].ref = nodes[i];
  // The own UserId has no bucket: its closest nodes are those of the
  // lowest buckets upwards.
  if (BucketIndex(target, table.own_id) < 0) {
    size_t count = 0;
    for (const Bucket& bucket : table.buckets)
      for (const DhtNode& node : bucket.nodes)
        if (count < kShortlistSize) lookup.entries[count++].ref = node.ref;
  }
}

int NextToQuery(const Lookup& lookup) {
  int best = -1;
  for (size_t i = 0; i < lookup.entries.size(); ++i) {
    const ShortlistEntry& e = lookup.entries[i];
    if (!Askable(e)) continue;
    if (best < 0 || CloserTo(lookup.target, e.ref.user_id, lookup.entries[static_cast<size_t>(best)].ref.user_id))
      best = static_cast<int>(i);
  }
  return best;
}

void MarkQueried(ShortlistEntry& entry, uint32_t pass) {
  entry.flags |= kEntryQueried;
  entry.queried_pass = pass;
  ++entry.attempts;
}

void MarkAnswered(Lookup& lookup, const PeerRef& sender) {
  for (ShortlistEntry& e : lookup.entries)
    if (!Empty(e) && (SameNode(e.ref, sender) || SameAddress(e.ref, sender))) e.flags |= kEntryAnswered;
}

bool TargetReached(const Lookup& lookup, const PeerRef& sender, const PeerRef* entries, size_t count,
                   PeerRef& found) {
  if (lookup.self) return false;
  if (SameUserId(sender.user_id, lookup.target)) {
    found = sender;
    return true;
  }
  for (size_t i = 0; i < count; ++i) {
    if (SameUserId(entries[i].user_id, lookup.target) && Reachable(entries[i])) {
      found = entries[i];
      return true;
    }
  }
  return false;
}

void MergeEntry(Lookup& lookup, const PeerRef& entry) {
  ShortlistEntry* empty = nullptr;
  ShortlistEntry* farthest = nullptr;
  for (ShortlistEntry& e : lookup.entries) {
    if (Empty(e)) {
      if (!empty) empty = &e;
      continue;
    }
    if (SameNode(e.ref, entry)) return;
    if (!farthest || CloserTo(lookup.target, farthest->ref.user_id, e.ref.user_id)) farthest = &e;
  }
  ShortlistEntry* place = empty;
  if (!place && farthest && CloserTo(lookup.target, entry.user_id, farthest->ref.user_id)) place = farthest;
  if (!place) return;
  *place = ShortlistEntry{};
  place->ref = entry;
}

void ExpireQueries(Lookup& lookup, uint32_t pass) {
  for (ShortlistEntry& e : lookup.entries) {
    if (!Waiting(e) || pass - e.queried_pass < kQueryTimeoutPasses) continue;
    if (e.attempts < kQueryAttempts) e.flags &= ~kEntryQueried;
    else e.flags |= kEntryGaveUp;
  }
}

size_t OutstandingQueries(const Lookup& lookup) {
  size_t n = 0;
  for (const ShortlistEntry& e : lookup.entries) n += Waiting(e);
  return n;
}

bool LookupExhausted(const Lookup& lookup) { return NextToQuery(lookup) < 0 && OutstandingQueries(lookup) == 0; }

}  // namespace orv
