// The user information record behind the "Info" dialog and the texts the
// dialog shows of it.
#pragma once

#include <cstdint>
#include <string>

#include "net/peer_ref.hpp"

namespace orv {

// Names are kept to 223 UTF-16 units, as the dialog holds them.
constexpr size_t kUserInfoNameUnits = 223;

struct UserInformation {
  std::string name;
  bool has_original_name = false;
  std::string original_name;
  PeerRef peer;            // UserId, IPv4 address and port
  bool authorized = false;
  int status = 0;          // 0 offline, 1 online, 2 away
};

// What the dialog shows, field by field.
struct UserInfoTexts {
  std::string name;           // the name
  std::string original_name;  // the original name when there is one, else the name
  std::string id;             // the UserId text
  std::string address;        // "%d.%d.%d.%d : %d"
  std::string authorized;     // "YES" or "NO"
  std::string status;         // "OFFLINE", "ONLINE", "AWAY" or "WRONG STATUS"
};

// "OFFLINE", "ONLINE", "AWAY"; "WRONG STATUS" for any other value.
std::string UserStatusText(int status);

UserInfoTexts MakeUserInfoTexts(const UserInformation& info);

// The text cut to at most 223 UTF-16 units (never inside a character).
std::string LimitUserInfoName(const std::string& text);

}  // namespace orv
