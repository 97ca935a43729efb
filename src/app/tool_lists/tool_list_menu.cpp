#include "app/tool_lists/tool_list_menu.hpp"

namespace orv {

const std::vector<ToolListMenuItem>& ToolListMenuItems() {
  static const std::vector<ToolListMenuItem> items = {
      {"Add to favorite list", ToolListCommand::kAddToFavorites},
      {"Send file", ToolListCommand::kSendFile},
      {"Ping", ToolListCommand::kPing},
      {"Info", ToolListCommand::kInfo},
  };
  return items;
}

std::optional<std::vector<ToolListMenuItem>> ToolListMenuFor(const ToolListRow& row) {
  if (!row.peer) return std::nullopt;
  return ToolListMenuItems();
}

bool OpenRowChat(ToolListCommands& commands, const ToolListRow& row) {
  if (!row.peer) return false;
  commands.OpenChat(*row.peer);
  return true;
}

}  // namespace orv
