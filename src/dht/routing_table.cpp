#include "dht/routing_table.hpp"

#include <algorithm>

namespace orv {
namespace {

const uint32_t kZeroId[kUserIdWords] = {};

DhtNode NewNode(const PeerRef& ref, uint64_t now) {
  DhtNode node;
  node.ref = ref;
  node.last_heard = now;
  node.added = now;
  return node;
}

// Moves the node at `pos` to the head of the list.
void MoveToHead(std::vector<DhtNode>& nodes, size_t pos) {
  std::rotate(nodes.begin(), nodes.begin() + static_cast<std::ptrdiff_t>(pos),
              nodes.begin() + static_cast<std::ptrdiff_t>(pos) + 1);
}

std::vector<DhtNode>::iterator FindNode(Bucket& bucket, const PeerRef& ref) {
  return std::find_if(bucket.nodes.begin(), bucket.nodes.end(),
                      [&](const DhtNode& n) { return SameNode(n.ref, ref); });
}

// Queues a live node for a full bucket; a node already waiting only takes
// the new address.
void QueueCandidate(Bucket& bucket, const PeerRef& ref) {
  for (PeerRef& waiting : bucket.candidates) {
    if (SameNode(waiting, ref)) {
      waiting.ipv4 = ref.ipv4;
      waiting.port = ref.port;
      return;
    }
  }
  if (bucket.candidates.size() < kCandidateSlots) bucket.candidates.push_back(ref);
}

// True when some identified node already holds the address.
bool AddressListed(const RoutingTable& table, const PeerRef& ref) {
  for (const Bucket& bucket : table.buckets)
    for (const DhtNode& n : bucket.nodes)
      if (SameAddress(n.ref, ref)) return true;
  return false;
}

// The node of unknown identity at the address of an identified node goes:
// it is that node.
void DropUnknownAt(RoutingTable& table, const PeerRef& ref) {
  const int b = UnknownBucket(table);
  if (b < 0) return;
  auto& nodes = table.buckets[static_cast<size_t>(b)].nodes;
  auto it = std::find_if(nodes.begin(), nodes.end(),
                         [&](const DhtNode& n) { return IsZeroUserId(n.ref.user_id) && SameAddress(n.ref, ref); });
  if (it != nodes.end()) nodes.erase(it);
}

void Refresh(Bucket& bucket, size_t pos, const PeerRef& ref, bool live, uint64_t now, DhtNetwork& network) {
  DhtNode& node = bucket.nodes[pos];
  if (IsZeroUserId(ref.user_id)) return;  // the same address: nothing new
  if (!live && network.PeerPresence(ref.user_id) != 0) return;
  node.ref.ipv4 = ref.ipv4;
  node.ref.port = ref.port;
  if (!live) return;
  node.last_heard = now;
  node.ping_count = 0;
  node.state |= kNodeResponded;
  MoveToHead(bucket.nodes, pos);
}

// Takes the first waiting candidate that is not already listed in the
// bucket; false when none is left.
bool TakeCandidate(Bucket& bucket, PeerRef& out) {
  while (!bucket.candidates.empty()) {
    out = bucket.candidates.front();
    bucket.candidates.erase(bucket.candidates.begin());
    if (FindNode(bucket, out) == bucket.nodes.end()) return true;
  }
  return false;
}

void Replace(Bucket& bucket, size_t pos, const PeerRef& with, uint64_t now) {
  bucket.nodes[pos] = NewNode(with, now);
  MoveToHead(bucket.nodes, pos);
}

}  // namespace

int UnknownBucket(const RoutingTable& table) { return BucketIndex(kZeroId, table.own_id); }

bool NoteInTable(RoutingTable& table, const PeerRef& ref, bool live, uint64_t now, DhtNetwork& network) {
  const int b = BucketIndex(ref.user_id, table.own_id);
  if (b < 0 || !Reachable(ref)) return false;
  const bool unknown = IsZeroUserId(ref.user_id);
  if (!unknown && live) DropUnknownAt(table, ref);
  Bucket& bucket = table.buckets[static_cast<size_t>(b)];
  auto it = FindNode(bucket, ref);
  if (it != bucket.nodes.end()) {
    Refresh(bucket, static_cast<size_t>(it - bucket.nodes.begin()), ref, live, now, network);
    return true;
  }
  if (unknown && AddressListed(table, ref)) return true;
  if (bucket.nodes.size() >= kBucketSize) {
    if (live) QueueCandidate(bucket, ref);
    return true;
  }
  bucket.nodes.push_back(NewNode(ref, now));
  return true;
}

bool DropFromTable(RoutingTable& table, const uint32_t* user_id) {
  const int b = BucketIndex(user_id, table.own_id);
  if (b < 0 || IsZeroUserId(user_id)) return false;
  auto& nodes = table.buckets[static_cast<size_t>(b)].nodes;
  auto it = std::find_if(nodes.begin(), nodes.end(), [&](const DhtNode& n) { return SameUserId(n.ref.user_id, user_id); });
  if (it == nodes.end()) return false;
  nodes.erase(it);
  return true;
}

void AdoptNodeId(RoutingTable& table, const PeerRef& address, const uint32_t* user_id) {
  const int from = UnknownBucket(table);
  if (from < 0) return;
  auto& unknown = table.buckets[static_cast<size_t>(from)].nodes;
  auto it = std::find_if(unknown.begin(), unknown.end(), [&](const DhtNode& n) {
    return IsZeroUserId(n.ref.user_id) && SameAddress(n.ref, address);
  });
  if (it == unknown.end() || IsZeroUserId(user_id)) return;
  DhtNode node = *it;
  unknown.erase(it);
  CopyUserId(node.ref.user_id, user_id);
  const int b = BucketIndex(user_id, table.own_id);
  if (b < 0) return;
  Bucket& bucket = table.buckets[static_cast<size_t>(b)];
  if (FindNode(bucket, node.ref) != bucket.nodes.end()) return;
  if (bucket.nodes.size() < kBucketSize) bucket.nodes.push_back(node);
  else QueueCandidate(bucket, node.ref);
}

DhtNode* FindInTable(RoutingTable& table, const uint32_t* user_id) {
  const int b = BucketIndex(user_id, table.own_id);
  if (b < 0 || IsZeroUserId(user_id)) return nullptr;
  for (DhtNode& n : table.buckets[static_cast<size_t>(b)].nodes)
    if (SameUserId(n.ref.user_id, user_id)) return &n;
  return nullptr;
}

size_t ClosestInTable(const RoutingTable& table, const uint32_t* key, PeerRef* out, size_t max) {
  const int b = BucketIndex(key, table.own_id);
  if (b < 0) return 0;
  size_t count = 0;
  const auto take = [&](int index) {
    for (const DhtNode& n : table.buckets[static_cast<size_t>(index)].nodes) {
      if (count == max) return;
      out[count++] = n.ref;
    }
  };
  for (int i = b; i >= 0 && count < max; --i) take(i);
  for (int i = b + 1; i < static_cast<int>(kBucketCount) && count < max; ++i) take(i);
  return count;
}

void DropFirstUnknown(RoutingTable& table) {
  const int b = UnknownBucket(table);
  if (b < 0) return;
  auto& nodes = table.buckets[static_cast<size_t>(b)].nodes;
  auto it = std::find_if(nodes.begin(), nodes.end(), [](const DhtNode& n) { return IsZeroUserId(n.ref.user_id); });
  if (it != nodes.end()) nodes.erase(it);
}

bool UpkeepBucket(Bucket& bucket, uint64_t now, PeerRef& ping) {
  PeerRef waiting;
  while (bucket.nodes.size() < kBucketSize && TakeCandidate(bucket, waiting))
    bucket.nodes.insert(bucket.nodes.begin(), NewNode(waiting, now));
  if (bucket.candidates.empty()) return false;
  for (size_t i = 0; i < bucket.nodes.size(); ++i) {
    DhtNode& node = bucket.nodes[i];
    if (!(node.state & kNodePinged)) {
      node.state = kNodePinged;
      ++node.ping_count;
      ping = node.ref;
      return true;
    }
    if (node.state & kNodeResponded) continue;
    if (node.ping_count <= kMaxUnansweredPings) {
      ++node.ping_count;
      ping = node.ref;
      return true;
    }
    if (!TakeCandidate(bucket, waiting)) return false;
    Replace(bucket, i, waiting, now);
    if (bucket.candidates.empty()) return false;
    i = static_cast<size_t>(-1);  // the walk starts again from the head
  }
  for (DhtNode& node : bucket.nodes) {
    node.state = 0;
    node.ping_count = 0;
  }
  bucket.candidates.clear();
  return false;
}

size_t NodeCount(const RoutingTable& table) {
  size_t n = 0;
  for (const Bucket& bucket : table.buckets) n += bucket.nodes.size();
  return n;
}

std::string NodeStatusText(const DhtNode& node) {
  const char* state = (node.state & kNodeResponded) ? "Responded" : (node.state & kNodePinged) ? "Pinged" : "Unknown";
  return std::string(state) + " " + std::to_string(node.ping_count);
}

}  // namespace orv
