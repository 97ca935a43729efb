#include "dht/dht_engine.hpp"

#include <condition_variable>

#include "dht/engine_pending.hpp"
#include "net/dispatch.hpp"

namespace orv {

DhtEngine::DhtEngine(const DhtSetup& setup)
    : own_(setup.own), sender_(*setup.sender), network_(*setup.network), clock_(*setup.clock), events_(setup.events) {
  CopyUserId(table_.own_id, own_.user_id);
  own_id_.Set(own_.user_id);
  publish_count_ = KeywordKeys(setup.user_info, publish_.data());
  for (size_t i = 0; i < publish_count_; ++i) CopyUserId(publish_[i].value, own_.user_id);
}

DhtEngine::~DhtEngine() { StopThread(); }

void DhtEngine::StartThread() {
  if (thread_.joinable()) return;
  thread_ = std::jthread([this](std::stop_token stop) { ThreadLoop(stop); });
}

void DhtEngine::StopThread() {
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
}

void DhtEngine::ThreadLoop(std::stop_token stop) {
  std::mutex wait_lock;
  std::condition_variable_any wake;
  std::unique_lock<std::mutex> hold(wait_lock);
  for (;;) {
    wake.wait_for(hold, stop, std::chrono::milliseconds(kDhtPassMs), [] { return false; });
    if (stop.stop_requested()) return;
    DhtPass();
  }
}

void DhtEngine::NoteDhtNode(const PeerRef& node) { NoteDhtNode(node, true, store_.load()); }

void DhtEngine::DropDhtNode(const PeerRef& node) { DropDhtNode(node.user_id); }

void DhtEngine::NoteDhtNode(const PeerRef& node, bool live, ContactObserver* store) {
  if (IsOwn(node.user_id)) return;
  {
    std::unique_lock<std::mutex> held(lock_, std::try_to_lock);
    if (held.owns_lock()) NoteInTable(table_, node, live, clock_.NowMs(), network_);
  }
  if (store) store->NoteNode(node);
}

void DhtEngine::DropDhtNode(const uint32_t* user_id) {
  std::unique_lock<std::mutex> held(lock_, std::try_to_lock);
  if (held.owns_lock()) DropFromTable(table_, user_id);
}

size_t DhtEngine::ClosestNodes(const uint32_t* key, PeerRef* out) {
  std::lock_guard<std::mutex> held(lock_);
  return ClosestInTable(table_, key, out, kMaxReplyEntries);
}

PeerRef DhtEngine::Send(const PeerRef& target, const DhtMessage& message) {
  PeerRef to = target;
  const bool unknown = IsZeroUserId(to.user_id);
  sender_.SendPayload(to, kInnerDht, message.bytes.data(), message.length);
  if (!unknown || IsZeroUserId(to.user_id)) return to;
  // The network layer knows the peer at that address: the node of unknown
  // identity takes its UserId and its own bucket.
  AdoptNodeId(table_, target, to.user_id);
  for (ShortlistEntry& e : lookup_.entries)
    if (IsZeroUserId(e.ref.user_id) && SameAddress(e.ref, target)) CopyUserId(e.ref.user_id, to.user_id);
  return to;
}

void DhtEngine::Fire(Pending& pending) {
  if (pending.store) pending.store->NoteNode(pending.noted);
  for (const PeerRef& node : pending.address_updates) network_.UpdatePeerAddress(node);
  if (events_) {
    for (const UserIdWords& id : pending.names_found) events_->NameFound(id.data());
    if (pending.lookup_ended)
      events_->LookupEnded(pending.ended_target.data(), pending.target_found ? &pending.found : nullptr);
  }
  for (const UserIdWords& id : pending.locate) LocateUser(id.data(), nullptr);
}

std::vector<DhtNodeView> DhtEngine::ListNodes() {
  std::lock_guard<std::mutex> held(lock_);
  std::vector<DhtNodeView> list;
  for (size_t b = 0; b < kBucketCount; ++b)
    for (const DhtNode& node : table_.buckets[b].nodes) list.push_back({static_cast<int>(b), node});
  return list;
}

DhtCounts DhtEngine::Counts() {
  std::lock_guard<std::mutex> held(lock_);
  DhtCounts counts;
  counts.nodes = NodeCount(table_);
  for (const Bucket& bucket : table_.buckets) counts.candidates += bucket.candidates.size();
  counts.stored_pairs = stored_.pairs.size();
  counts.bootstrap = bootstrap_;
  counts.lookup_running = lookup_.running;
  counts.passes = passes_;
  return counts;
}

std::vector<KeywordSlot> DhtEngine::PublishSlots() {
  std::lock_guard<std::mutex> held(lock_);
  return {publish_.begin(), publish_.begin() + static_cast<std::ptrdiff_t>(publish_count_)};
}

std::vector<KeywordSlot> DhtEngine::SearchSlots() {
  std::lock_guard<std::mutex> held(lock_);
  return {search_.begin(), search_.begin() + static_cast<std::ptrdiff_t>(search_count_)};
}

Lookup DhtEngine::CurrentLookup() {
  std::lock_guard<std::mutex> held(lock_);
  return lookup_;
}

}  // namespace orv
