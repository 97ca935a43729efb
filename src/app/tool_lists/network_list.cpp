#include "app/tool_lists/network_list.hpp"

#include "net/net_text.hpp"

namespace orv {
namespace {

// The status the row of `peer` showed before, if it had one.
std::string PreviousStatus(const PeerStatus& peer, const std::vector<ToolListRow>& previous) {
  for (const ToolListRow& row : previous)
    if (row.peer && SameUserId(row.peer->user_id, peer.ref.user_id)) return row.status;
  return {};
}

}  // namespace

std::optional<std::string> NetworkStatusText(const PeerStatus& peer) {
  const char* state = "Not connected";
  if (peer.connected)
    state = "Connected";
  else if (peer.state >= 0)
    state = SetupStateName(static_cast<uint32_t>(peer.state));
  else if (peer.setup_busy)
    return std::nullopt;
  return FormatText("%s %d", state, static_cast<int>(peer.sent_without_reply));
}

std::vector<ToolListRow> NetworkListRows(const std::vector<PeerStatus>& peers,
                                         const std::vector<ContactRecord>& contacts,
                                         const std::vector<ToolListRow>& previous) {
  const ContactAuthorizations authorizations(contacts);
  std::vector<ToolListRow> rows;
  rows.reserve(peers.size());
  for (const PeerStatus& peer : peers) {
    std::optional<std::string> status = NetworkStatusText(peer);
    rows.push_back(MakePeerRow(peer.ref, peer.name, status ? *status : PreviousStatus(peer, previous),
                               PeerListImage(authorizations.Authorized(peer.ref.user_id))));
  }
  return rows;
}

std::vector<ToolListRow> NetworkListRows(ToolListSources& sources, const std::vector<ToolListRow>& previous) {
  const std::vector<PeerStatus> peers = sources.Peers();
  return NetworkListRows(peers, sources.Contacts(), previous);
}

}  // namespace orv
