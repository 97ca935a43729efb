// The popup menu of a tool window's row that names a peer, and what its
// items and a double click do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/tool_lists/tool_list_row.hpp"

namespace orv {

enum class ToolListCommand : uint32_t {
  kAddToFavorites = 1021,
  kSendFile = 1023,
  kPing = 1032,
  kInfo = 1034,
};

struct ToolListMenuItem {
  std::string text;
  ToolListCommand command;
};

// "Add to favorite list", "Send file", "Ping", "Info", in this order.
const std::vector<ToolListMenuItem>& ToolListMenuItems();

// The items for a row: none for a row without a UserId (a bucket header).
std::optional<std::vector<ToolListMenuItem>> ToolListMenuFor(const ToolListRow& row);

class ToolListCommands {
 public:
  virtual ~ToolListCommands() = default;
  // A chosen item, on the peer the row named when the menu opened.
  virtual void RunCommand(const PeerRef& peer, ToolListCommand command) = 0;
  // A double click: the conversation with the row's user.
  virtual void OpenChat(const PeerRef& peer) = 0;
};

// A double click on a row: the conversation with its user; false for a row
// without a UserId, which has no double-click action.
bool OpenRowChat(ToolListCommands& commands, const ToolListRow& row);

}  // namespace orv
