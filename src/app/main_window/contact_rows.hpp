// The rows of the main window's contact list: one per contact of the
// contact store, in list order, with the status image and the texts the
// contact commands read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/main_window/main_window_ports.hpp"
#include "store/contact_store.hpp"

namespace orv {

// Status images; the window maps them to its four icons.
enum ContactImage : int {
  kImageOnline = 0,        // authorized, connected, online
  kImageNotConnected = 1,  // authorized, not connected
  kImageNotAuthorized = 2, // not authorized, whatever its connection
  kImageAway = 3,          // authorized, connected, away
};

struct ContactRow {
  PeerRef peer;          // UserId and address
  std::string name;      // the contact's name, or its original name when it has none
  int image = kImageNotAuthorized;
  std::string ip_text;   // "IP": "%d.%d.%d.%d"
  std::string port_text; // "Port": "%d"
  std::string id_text;   // "ID": the UserId text
  bool operator==(const ContactRow& other) const;
};

// The image of a contact, from its authorization and what the peer table
// knows of it (nothing: not connected).
int ContactImageFor(bool authorized, const std::optional<PeerLook>& look);

ContactRow MakeContactRow(const ContactRecord& contact, int image);

}  // namespace orv
