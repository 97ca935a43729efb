// The DhtThread's pass and the bootstrap.
#include "dht/dht_engine.hpp"
#include "dht/engine_pending.hpp"

namespace orv {

void DhtEngine::DhtPass() {
  const uint64_t now = clock_.NowMs();
  {
    std::lock_guard<std::mutex> held(lock_);
    ++passes_;
  }
  for (Bucket& bucket : table_.buckets) {
    std::lock_guard<std::mutex> held(lock_);
    PeerRef ping;
    if (UpkeepBucket(bucket, now, ping)) Send(ping, BareMessage(kDhtPing));
  }
  for (size_t b = 0; b < kBucketCount; ++b) {
    std::lock_guard<std::mutex> held(lock_);
    if (!bootstrap_) break;
    BootstrapBucket(b);
  }
  Pending pending;
  {
    std::lock_guard<std::mutex> held(lock_);
    StepSlots();
    LookupUpkeep(pending);
    ExpirePairs(stored_, now);
  }
  Fire(pending);
}

void DhtEngine::RequestBootstrap() {
  Pending pending;
  {
    std::lock_guard<std::mutex> held(lock_);
    bootstrap_ = true;
    if (lookup_.running && !lookup_.self) EndLookup(nullptr, pending);
    StartLookup(lookup_, table_, own_.user_id, true);
  }
  Fire(pending);
}

void DhtEngine::BootstrapBucket(size_t index) {
  std::vector<PeerRef> nodes;
  for (const DhtNode& node : table_.buckets[index].nodes) nodes.push_back(node.ref);
  const DhtMessage message = KeyMessage(kFindNode, own_.user_id);
  for (const PeerRef& node : nodes) {
    Send(node, message);
    if (!lookup_.running || !lookup_.self) continue;
    for (ShortlistEntry& e : lookup_.entries)
      if (e.ref.ipv4 != 0 && SameAddress(e.ref, node) && !(e.flags & kEntryQueried)) MarkQueried(e, passes_);
  }
}

void DhtEngine::EndBootstrap() {
  if (!bootstrap_) return;
  bootstrap_ = false;
  DropFirstUnknown(table_);
}

}  // namespace orv
