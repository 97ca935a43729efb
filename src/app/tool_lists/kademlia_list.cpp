#include "app/tool_lists/kademlia_list.hpp"

#include "app/tool_lists/peer_index.hpp"
#include "dht/dht_ids.hpp"

namespace orv {
namespace {

ToolListRow GroupRow(size_t bucket) {
  ToolListRow row;
  row.name = "Group " + std::to_string(bucket);
  return row;
}

}  // namespace

std::vector<ToolListRow> KademliaListRows(const std::vector<DhtNodeView>& nodes, const std::vector<PeerStatus>& peers,
                                          const std::vector<ContactRecord>& contacts) {
  const ContactAuthorizations authorizations(contacts);
  const PeerIndex index(peers);
  std::vector<std::vector<const DhtNodeView*>> buckets(kBucketCount);
  for (const DhtNodeView& view : nodes)
    if (view.bucket >= 0 && static_cast<size_t>(view.bucket) < kBucketCount)
      buckets[static_cast<size_t>(view.bucket)].push_back(&view);
  std::vector<ToolListRow> rows;
  rows.reserve(kBucketCount + nodes.size());
  for (size_t bucket = 0; bucket < kBucketCount; ++bucket) {
    rows.push_back(GroupRow(bucket));
    for (const DhtNodeView* view : buckets[bucket]) {
      const PeerRef& ref = view->node.ref;
      const int image = NodeListImage(authorizations.Authorized(ref.user_id), index.Presence(ref.user_id));
      rows.push_back(MakePeerRow(ref, index.Name(ref.user_id), NodeStatusText(view->node), image));
    }
  }
  return rows;
}

std::vector<ToolListRow> KademliaListRows(ToolListSources& sources) {
  const std::vector<DhtNodeView> nodes = sources.DhtNodes();
  const std::vector<PeerStatus> peers = sources.Peers();
  return KademliaListRows(nodes, peers, sources.Contacts());
}

}  // namespace orv
