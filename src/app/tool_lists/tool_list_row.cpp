#include "app/tool_lists/tool_list_row.hpp"

#include <algorithm>

#include "app/main_window/contact_rows.hpp"
#include "identity/key_file.hpp"
#include "store/field_text.hpp"

namespace orv {
namespace {

std::vector<uint32_t> IdKey(const uint32_t* user_id) { return {user_id, user_id + kUserIdWords}; }

bool SamePeer(const std::optional<PeerRef>& a, const std::optional<PeerRef>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (SameUserId(a->user_id, b->user_id) && SameAddress(*a, *b));
}

}  // namespace

bool ToolListRow::operator==(const ToolListRow& other) const {
  return image == other.image && name == other.name && ip_text == other.ip_text && port_text == other.port_text &&
         status == other.status && id_text == other.id_text && SamePeer(peer, other.peer);
}

ToolListRow MakePeerRow(const PeerRef& peer, std::string name, std::string status, int image) {
  ToolListRow row;
  row.image = image;
  row.name = std::move(name);
  row.ip_text = DottedIpv4Text(peer.ipv4);
  row.port_text = std::to_string(peer.port);
  row.status = std::move(status);
  row.id_text = UserIdText(peer.user_id);
  row.peer = peer;
  return row;
}

ContactAuthorizations::ContactAuthorizations(const std::vector<ContactRecord>& contacts) {
  for (const ContactRecord& contact : contacts)
    if (contact.authorized) authorized_.push_back(IdKey(contact.peer.user_id));
  std::sort(authorized_.begin(), authorized_.end());
}

bool ContactAuthorizations::Authorized(const uint32_t* user_id) const {
  return std::binary_search(authorized_.begin(), authorized_.end(), IdKey(user_id));
}

int PeerListImage(bool authorized_contact) { return authorized_contact ? kImageOnline : kImageNotAuthorized; }

int NodeListImage(bool authorized_contact, int presence) {
  if (!authorized_contact) return kImageNotAuthorized;
  return presence == 1 ? kImageOnline : kImageNotConnected;
}

}  // namespace orv
