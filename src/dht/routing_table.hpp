// The routing table: 256 buckets of at most 20 nodes by XOR distance from
// the own UserId, each with up to 10 live candidates waiting for room.
// Plain record and functions; the engine calls them with its DHT lock held.
//
// Invariants kept here: no node is listed twice (one UserId appears once;
// nodes of unknown identity live in the bucket of the all-zero UserId, one
// per address, and only while no identified node holds that address); no
// node has address 0 or port 0; the own UserId is never stored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dht/dht_ids.hpp"
#include "dht/dht_ports.hpp"

namespace orv {

constexpr uint32_t kNodePinged = 1;
constexpr uint32_t kNodeResponded = 2;
constexpr uint32_t kMaxUnansweredPings = 5;  // a sixth unanswered ping lets a candidate in

struct DhtNode {
  PeerRef ref;             // all-zero UserId for a node known only by its address
  uint64_t last_heard = 0;  // ms
  uint64_t added = 0;       // ms, when created or last reused
  uint32_t state = 0;       // kNodePinged | kNodeResponded
  uint32_t ping_count = 0;  // pings sent since the node last answered
};

struct Bucket {
  std::vector<DhtNode> nodes;       // head (index 0) = most recently confirmed
  std::vector<PeerRef> candidates;  // in arrival order, at most kCandidateSlots
};

struct RoutingTable {
  uint32_t own_id[kUserIdWords] = {};
  std::array<Bucket, kBucketCount> buckets;
};

// The bucket of nodes whose identity is not known yet; -1 while the own
// UserId is all zero (no key loaded), when no such node can be kept.
int UnknownBucket(const RoutingTable& table);

// NoteDhtNode's table work: adds, refreshes or queues `node`. A node that
// is not live keeps its address while the network reports a session with
// it. Returns false when the node was refused (own UserId, no address).
bool NoteInTable(RoutingTable& table, const PeerRef& node, bool live, uint64_t now, DhtNetwork& network);

// Unlinks the node with that UserId (a known one) from its bucket.
bool DropFromTable(RoutingTable& table, const uint32_t* user_id);

// A node of unknown identity at `address` turned out to be `user_id` (the
// network layer filled it in when sending): it moves to its own bucket, or
// goes when that UserId is ours or already listed.
void AdoptNodeId(RoutingTable& table, const PeerRef& address, const uint32_t* user_id);

// The node with that UserId in its bucket, or null.
DhtNode* FindInTable(RoutingTable& table, const uint32_t* user_id);

// Up to `max` nodes: those of bucket BucketIndex(key, own), then of the
// buckets below it downwards, then above it upwards, each in list order.
// Empty for the own UserId. The walk visits buckets in that order.
size_t ClosestInTable(const RoutingTable& table, const uint32_t* key, PeerRef* out, size_t max);

// Ends the bootstrap: the first node of unknown identity goes.
void DropFirstUnknown(RoutingTable& table);

// One pass of upkeep of a bucket with a waiting candidate: free room is
// filled from the candidates; then the first node not yet pinged, or pinged
// and silent, is returned to be pinged (its state and count updated), and a
// node silent for more than five pings gives its place to the first
// candidate. When every node has answered, states are cleared and the
// candidates dropped. Returns false when nothing is to be pinged.
bool UpkeepBucket(Bucket& bucket, uint64_t now, PeerRef& ping);

size_t NodeCount(const RoutingTable& table);

// "Responded", "Pinged" or "Unknown" and the ping count ("%s %d"), as the
// Kademlia list shows a node.
std::string NodeStatusText(const DhtNode& node);

}  // namespace orv
