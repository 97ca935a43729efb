// The "Find user" dialog's logic: a search by UserId, IPv4 address or
// name, logged under the source "Find", and the result rows its refresh
// shows. One per dialog: a new dialog starts with no search and no rows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/tool_lists/tool_list_row.hpp"
#include "app/tool_lists/tool_list_sources.hpp"

namespace orv {

inline constexpr char kFindLogSource[] = "Find";

class FindSearch {
 public:
  explicit FindSearch(ToolListSources& sources) : sources_(sources) {}

  // "Find" (the button, or Enter in the edit), with the edit's text (UTF-8;
  // cut to 223 characters):
  // 1. the text is logged;
  // 2. a UserId is kept, "User ID typed" logged and the user located,
  //    "User found" when the routing table knows it;
  // 3. unless the text is four dotted numbers, "User name typed" is logged,
  //    the peers are searched by name ("User found" on a match at once) and
  //    the DHT searches its keywords (a UserId runs this step too);
  // 4. four dotted numbers are kept as the address, "User IP typed" logged,
  //    and "User found" when a routing-table node has that address.
  // What the text reads as replaces what an earlier search kept.
  void Find(std::string_view text);

  // The results, none before the first search:
  // 1. the peers of the peer table that match: at the kept address, else
  //    of the kept UserId, else whose name matches the text (an empty text
  //    matches every peer); status empty, image 0 for an authorized
  //    contact, 2 otherwise;
  // 2. with a UserId or an address kept, the routing-table nodes with that
  //    UserId or at that address, named as the peer table names them.
  std::vector<ToolListRow> Rows();

  bool searched() const { return searched_; }
  const std::u16string& text() const { return text_; }
  const std::optional<std::array<uint32_t, kUserIdWords>>& id() const { return id_; }
  std::optional<uint32_t> ip() const { return ip_; }

 private:
  bool PeerMatches(const PeerStatus& peer) const;
  bool NodeMatches(const PeerRef& node) const;
  bool AddressKnownToDht();

  ToolListSources& sources_;
  bool searched_ = false;
  std::u16string text_;
  std::optional<std::array<uint32_t, kUserIdWords>> id_;
  std::optional<uint32_t> ip_;
};

}  // namespace orv
