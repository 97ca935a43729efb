// The running lookup: the 20 nodes closest to its target seen so far, which
// of them were asked and which answered. Plain record and functions; the
// engine calls them with its DHT lock held.
//
// A lookup ends when its target is reached, or when no entry is left to ask
// and none of those asked may still answer; an entry asked and silent for
// kQueryTimeoutPasses passes is asked again, at most kQueryAttempts times
// (the first message to a node may only open a session).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dht/routing_table.hpp"

namespace orv {

constexpr size_t kShortlistSize = 20;
constexpr size_t kParallelQueries = 3;
constexpr uint32_t kQueryTimeoutPasses = 2;
constexpr uint32_t kQueryAttempts = 3;

constexpr uint32_t kEntryQueried = 1;   // bit 0: asked
constexpr uint32_t kEntryAnswered = 2;  // it answered
constexpr uint32_t kEntryGaveUp = 4;    // silent after every attempt

struct ShortlistEntry {
  PeerRef ref;             // an entry whose IPv4 address is 0 is empty
  uint32_t flags = 0;
  uint32_t queried_pass = 0;
  uint32_t attempts = 0;
};

struct Lookup {
  bool running = false;
  bool self = false;  // the bootstrap's lookup of the own UserId: it never "reaches" its target
  uint32_t target[kUserIdWords] = {};
  std::array<ShortlistEntry, kShortlistSize> entries{};
  uint32_t queries = 0;  // find_node messages sent for it
};

// Starts a lookup of `target`, the shortlist filled from the routing table
// in ClosestNodes order.
void StartLookup(Lookup& lookup, const RoutingTable& table, const uint32_t* target, bool self);

// The unasked entry closest to the target (the earlier one on a tie), or -1.
int NextToQuery(const Lookup& lookup);

// Records that the entry was asked in `pass`.
void MarkQueried(ShortlistEntry& entry, uint32_t pass);

// The sender of a reply answered.
void MarkAnswered(Lookup& lookup, const PeerRef& sender);

// True when the reply's sender or one of its entries is the target (for a
// user lookup); `found` is then that node.
bool TargetReached(const Lookup& lookup, const PeerRef& sender, const PeerRef* entries, size_t count,
                   PeerRef& found);

// An entry of a reply joins the shortlist: skipped when listed already,
// else into an empty place, else in place of the entry farthest from the
// target when closer than it.
void MergeEntry(Lookup& lookup, const PeerRef& entry);

// Entries asked and silent too long are asked again, or given up.
void ExpireQueries(Lookup& lookup, uint32_t pass);

// Entries asked that may still answer.
size_t OutstandingQueries(const Lookup& lookup);

// Nothing left to ask and nothing to wait for.
bool LookupExhausted(const Lookup& lookup);

}  // namespace orv
