// The tool windows over the running engines: their reads (ToolListSources)
// and the commands of their rows (ToolListCommands), reached through
// getters, because the windows outlive the engines (they exist before the
// start-up made them and after the shutdown freed them); a missing engine
// reads as empty and does nothing.
#pragma once

#include <functional>

#include "app/main_window/main_window_controller.hpp"
#include "app/tool_lists/tool_list_menu.hpp"
#include "app/tool_lists/tool_list_sources.hpp"
#include "chat/conversations.hpp"
#include "dht/dht_engine.hpp"
#include "net/endpoint.hpp"
#include "store/contact_store.hpp"

namespace orv {

// Each getter may be empty or return null.
struct ToolListEngines {
  std::function<NetworkEndpoint*()> endpoint;
  std::function<DhtEngine*()> dht;
  std::function<ContactStore*()> store;
  std::function<MainWindowController*()> controller;
  std::function<Conversations*()> conversations;
};

class EngineToolListSources final : public ToolListSources {
 public:
  explicit EngineToolListSources(ToolListEngines engines) : engines_(std::move(engines)) {}
  std::vector<PeerStatus> Peers() override;
  std::vector<DhtNodeView> DhtNodes() override;
  std::vector<ContactRecord> Contacts() override;
  bool LocateUser(const uint32_t* user_id) override;
  bool FindUserByName(std::u16string_view name) override;
  void SearchByName(std::u16string_view name) override;

 private:
  ToolListEngines engines_;
};

// "Add to favorite list", "Send file" and "Info" are the main window's
// contact commands; "Ping" is the DHT's PingOrLocate; a double click opens
// the conversation as the contact list's does.
class EngineToolListCommands final : public ToolListCommands {
 public:
  explicit EngineToolListCommands(ToolListEngines engines) : engines_(std::move(engines)) {}
  void RunCommand(const PeerRef& peer, ToolListCommand command) override;
  void OpenChat(const PeerRef& peer) override;

 private:
  ToolListEngines engines_;
};

}  // namespace orv
