#include "app/tool_lists/find_search.hpp"

#include "app/event_log.hpp"
#include "app/tool_lists/find_text.hpp"
#include "app/tool_lists/name_match.hpp"
#include "app/tool_lists/peer_index.hpp"
#include "identity/utf16.hpp"

namespace orv {

void FindSearch::Find(std::string_view typed) {
  text_ = LimitFindText(Utf8ToUtf16(typed));
  const std::string text = Utf16ToUtf8(text_);
  searched_ = true;
  id_.reset();
  ip_.reset();
  LogEvent(kFindLogSource, text);
  std::array<uint32_t, kUserIdWords> id{};
  if (ReadFindUserId(text, id.data())) {
    id_ = id;
    LogEvent(kFindLogSource, "User ID typed");
    if (sources_.LocateUser(id.data())) LogEvent(kFindLogSource, "User found");
  }
  ip_ = ReadFindIpv4(text);
  if (!ip_) {
    LogEvent(kFindLogSource, "User name typed");
    if (sources_.FindUserByName(text_)) LogEvent(kFindLogSource, "User found");
    sources_.SearchByName(text_);
    return;
  }
  LogEvent(kFindLogSource, "User IP typed");
  if (AddressKnownToDht()) LogEvent(kFindLogSource, "User found");
}

bool FindSearch::AddressKnownToDht() {
  for (const DhtNodeView& view : sources_.DhtNodes())
    if (view.node.ref.ipv4 == *ip_) return true;
  return false;
}

bool FindSearch::PeerMatches(const PeerStatus& peer) const {
  if (ip_) return peer.ref.ipv4 == *ip_;
  if (id_) return SameUserId(peer.ref.user_id, id_->data());
  return FindNameMatches(text_, Utf8ToUtf16(peer.name));
}

bool FindSearch::NodeMatches(const PeerRef& node) const {
  return (id_ && SameUserId(node.user_id, id_->data())) || (ip_ && node.ipv4 == *ip_);
}

std::vector<ToolListRow> FindSearch::Rows() {
  std::vector<ToolListRow> rows;
  if (!searched_) return rows;
  const std::vector<PeerStatus> peers = sources_.Peers();
  const ContactAuthorizations authorizations(sources_.Contacts());
  for (const PeerStatus& peer : peers)
    if (PeerMatches(peer))
      rows.push_back(MakePeerRow(peer.ref, peer.name, "", PeerListImage(authorizations.Authorized(peer.ref.user_id))));
  if (!id_ && !ip_) return rows;
  const PeerIndex index(peers);
  for (const DhtNodeView& view : sources_.DhtNodes()) {
    const PeerRef& node = view.node.ref;
    if (!NodeMatches(node)) continue;
    const int image = NodeListImage(authorizations.Authorized(node.user_id), index.Presence(node.user_id));
    rows.push_back(MakePeerRow(node, index.Name(node.user_id), "", image));
  }
  return rows;
}

}  // namespace orv
