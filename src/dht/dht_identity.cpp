// Another key loaded while the program runs: the DHT takes the new UserId.
#include "dht/dht_engine.hpp"

namespace orv {
namespace {

std::vector<PeerRef> TableNodes(const RoutingTable& table) {
  std::vector<PeerRef> nodes;
  for (const Bucket& bucket : table.buckets) {
    for (const DhtNode& node : bucket.nodes) nodes.push_back(node.ref);
    for (const PeerRef& candidate : bucket.candidates) nodes.push_back(candidate);
  }
  return nodes;
}

}  // namespace

void DhtEngine::AdoptIdentity(const uint32_t* user_id, std::u16string_view user_info) {
  std::lock_guard<std::mutex> held(lock_);
  const std::vector<PeerRef> known = TableNodes(table_);
  table_ = RoutingTable{};
  CopyUserId(table_.own_id, user_id);
  CopyUserId(own_.user_id, user_id);
  own_id_.Set(user_id);
  // The distances changed: every node is sorted in anew, as one named by
  // someone until it is heard again.
  const uint64_t now = clock_.NowMs();
  for (const PeerRef& node : known) NoteInTable(table_, node, false, now, network_);
  lookup_ = Lookup{};
  publish_ = {};
  publish_count_ = KeywordKeys(user_info, publish_.data());
  for (size_t i = 0; i < publish_count_; ++i) CopyUserId(publish_[i].value, user_id);
}

}  // namespace orv
