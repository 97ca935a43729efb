// The contact popup menu: its items, their command ids, and how a row's
// texts become the PeerRef the commands act on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window/contact_rows.hpp"
#include "net/peer_ref.hpp"

namespace orv {

enum class ContactCommand : uint32_t {
  kAuthorize = 1015,
  kRemove = 1022,
  kSendFile = 1023,
  kRename = 1024,
  kRequestConnection = 1025,
  kDeauthorize = 1033,
  kInfo = 1034,
};

struct ContactMenuItem {
  std::string text;
  ContactCommand command;
};

// The six items in their order: "Deauthorize" first when the contact is in
// the store and authorized, else "Authorize"; then "Remove from list",
// "Request Connection", "Rename", "Send file", "Info".
std::vector<ContactMenuItem> ContactMenuItems(bool authorized_contact);

// A UserId text of exactly eight hexadecimal words of one to eight digits,
// separated by white space; false (and `user_id` cleared) otherwise.
bool ParseUserIdText(std::string_view text, uint32_t* user_id);

// "a.b.c.d:port" with four numbers 0-255 and a port 1-65535.
std::optional<PeerRef> ParseAddressText(std::string_view text);

// The PeerRef a row's texts name: nothing when its "ID" text is not a
// UserId (such a row offers no menu); an "IP" text that is not four numbers
// gives address 0.
std::optional<PeerRef> RowPeer(const ContactRow& row);

}  // namespace orv
