// The one row layout of the three network tool windows ("Network List",
// "Kademlia List", "Find user"): an image, the texts of the columns "Name",
// "IP", "Port", "Status" and "ID", and the peer a row with a UserId names
// (what its popup menu and double click act on). A bucket header row has
// no image and no peer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/peer_ref.hpp"
#include "store/contact_store.hpp"

namespace orv {

// Row images: the contact list's first three (kImageOnline,
// kImageNotConnected, kImageNotAuthorized), or none.
inline constexpr int kNoRowImage = -1;

struct ToolListRow {
  int image = kNoRowImage;
  std::string name;
  std::string ip_text;    // "%d.%d.%d.%d"
  std::string port_text;  // "%d"
  std::string status;
  std::string id_text;    // "%08X %08X %08X %08X %08X %08X %08X %08X"
  std::optional<PeerRef> peer;
  bool operator==(const ToolListRow& other) const;
};

// A row naming `peer`: its address and UserId texts filled in.
ToolListRow MakePeerRow(const PeerRef& peer, std::string name, std::string status, int image);

// The contacts by UserId, as one refresh sees them: whether a UserId is an
// authorized contact.
class ContactAuthorizations {
 public:
  explicit ContactAuthorizations(const std::vector<ContactRecord>& contacts);
  bool Authorized(const uint32_t* user_id) const;

 private:
  std::vector<std::vector<uint32_t>> authorized_;  // sorted
};

// The image of a peer row of the network list and of the Find results'
// peer rows: 0 for an authorized contact, 2 for everybody else.
int PeerListImage(bool authorized_contact);

// The image of a routing-table row: 2 unless an authorized contact, then 0
// when the network layer has a session with the user who is online
// (presence 1), else 1.
int NodeListImage(bool authorized_contact, int presence);

}  // namespace orv
