// The contact store as the engines above it see it: whether a peer is a
// contact (a peer that is may open a conversation while `AllowAnyone` is
// off, and may offer files while `AcceptFileTransfer` is off), and the name
// the user gave it (the chat window's title).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orv {

class ContactDirectory {
 public:
  virtual ~ContactDirectory() = default;
  virtual bool IsContact(const uint32_t* user_id) = 0;
  // The contact's name (UTF-8), or nothing when the UserId is not a contact.
  virtual std::optional<std::string> ContactName(const uint32_t*) { return std::nullopt; }
};

}  // namespace orv
