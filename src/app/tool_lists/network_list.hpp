// The "Network List" window's rows: one per peer of the peer table, in
// table order, with the peer's session state.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/tool_lists/tool_list_row.hpp"
#include "app/tool_lists/tool_list_sources.hpp"

namespace orv {

// "%s %d": "Connected" while a session is up, else the name of the
// handshake state while a handshake runs, else "Not connected"; then the
// count of datagrams sent without reply. Nothing when a handshake worker
// holds the setup, so that its state cannot be read now.
std::optional<std::string> NetworkStatusText(const PeerStatus& peer);

// The rows: "Name" the peer's announced name, "Status" as above, image 0
// for an authorized contact and 2 for everybody else. A peer whose state
// cannot be read keeps the status its row showed in `previous`.
std::vector<ToolListRow> NetworkListRows(const std::vector<PeerStatus>& peers,
                                         const std::vector<ContactRecord>& contacts,
                                         const std::vector<ToolListRow>& previous);

// The same, read from the engines.
std::vector<ToolListRow> NetworkListRows(ToolListSources& sources, const std::vector<ToolListRow>& previous);

}  // namespace orv
