#include "app/main_window/contact_rows.hpp"

#include "identity/key_file.hpp"
#include "store/field_text.hpp"

namespace orv {

bool ContactRow::operator==(const ContactRow& other) const {
  return SameUserId(peer.user_id, other.peer.user_id) && SameAddress(peer, other.peer) && name == other.name &&
         image == other.image && ip_text == other.ip_text && port_text == other.port_text &&
         id_text == other.id_text;
}

int ContactImageFor(bool authorized, const std::optional<PeerLook>& look) {
  if (!authorized) return kImageNotAuthorized;
  if (!look || !look->connected) return kImageNotConnected;
  return look->away ? kImageAway : kImageOnline;
}

ContactRow MakeContactRow(const ContactRecord& contact, int image) {
  ContactRow row;
  row.peer = contact.peer;
  row.name = contact.name ? *contact.name : contact.original_name.value_or("");
  row.image = image;
  row.ip_text = DottedIpv4Text(contact.peer.ipv4);
  row.port_text = std::to_string(contact.peer.port);
  row.id_text = UserIdText(contact.peer.user_id);
  return row;
}

}  // namespace orv
