// The "Kademlia List" window's rows: the DHT routing table bucket by
// bucket, each bucket a header row "Group %d" followed by its nodes.
#pragma once

#include <vector>

#include "app/tool_lists/tool_list_row.hpp"
#include "app/tool_lists/tool_list_sources.hpp"

namespace orv {

// For bucket 0 to 255: the header row (the bucket index as "Group %d", no
// image, no UserId), then one row per node in list order: "Name" as the
// peer table names the user ("<unknown>" for a user it does not know),
// "Status" "Responded", "Pinged" or "Unknown" and the node's ping count,
// image 2 unless an authorized contact, then 0 while the user is connected
// and online, else 1.
std::vector<ToolListRow> KademliaListRows(const std::vector<DhtNodeView>& nodes, const std::vector<PeerStatus>& peers,
                                          const std::vector<ContactRecord>& contacts);

// The same, read from the engines.
std::vector<ToolListRow> KademliaListRows(ToolListSources& sources);

}  // namespace orv
