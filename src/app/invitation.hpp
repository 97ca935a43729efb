// An invitation: one line of text that names a user and where to reach
// them, to be sent through any channel (mail, a message, a web page):
//   orv:<64 hex digits of the UserId, word 0 first>?addr=IP:PORT&addr=...&name=TEXT
// The name is UTF-8 with %XX escapes. Nothing in it is trusted: the
// addresses are only places to try, and the handshake proves the UserId.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/peer_ref.hpp"

namespace orv {

inline constexpr std::string_view kInvitationScheme = "orv:";
inline constexpr size_t kInvitationMaxAddresses = 16;
inline constexpr size_t kInvitationMaxNameBytes = 446;

struct InvitationAddress {
  uint32_t ipv4 = 0;
  uint16_t port = 0;
  bool operator==(const InvitationAddress&) const = default;
};

struct Invitation {
  uint32_t user_id[kUserIdWords] = {};
  std::vector<InvitationAddress> addresses;  // in the order to try them
  std::string name;                          // may be empty
};

std::string FormatInvitation(const Invitation& invitation);

// The invitation, or why the text is not one (a line naming the field).
struct InvitationParse {
  std::optional<Invitation> invitation;
  std::string reason;
};
InvitationParse ParseInvitation(std::string_view text);

}  // namespace orv
