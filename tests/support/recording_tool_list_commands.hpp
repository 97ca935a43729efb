// Records the commands the network tool lists give on their rows.
#pragma once

#include <utility>
#include <vector>

#include "app/tool_lists/tool_list_menu.hpp"

namespace orv::test {

class RecordingToolListCommands final : public ToolListCommands {
 public:
  void RunCommand(const PeerRef& peer, ToolListCommand command) override { run.emplace_back(peer, command); }
  void OpenChat(const PeerRef& peer) override { opened.push_back(peer); }
  std::vector<std::pair<PeerRef, ToolListCommand>> run;
  std::vector<PeerRef> opened;
};

}  // namespace orv::test
