#include "app/tool_lists/engine_tool_lists.hpp"

#include "identity/utf16.hpp"

namespace orv {
namespace {

template <typename T>
T* Get(const std::function<T*()>& getter) {
  return getter ? getter() : nullptr;
}

}  // namespace

std::vector<PeerStatus> EngineToolListSources::Peers() {
  NetworkEndpoint* endpoint = Get(engines_.endpoint);
  return endpoint ? ListPeers(*endpoint) : std::vector<PeerStatus>{};
}

std::vector<DhtNodeView> EngineToolListSources::DhtNodes() {
  DhtEngine* dht = Get(engines_.dht);
  return dht ? dht->ListNodes() : std::vector<DhtNodeView>{};
}

std::vector<ContactRecord> EngineToolListSources::Contacts() {
  ContactStore* store = Get(engines_.store);
  return store ? ListContacts(*store) : std::vector<ContactRecord>{};
}

bool EngineToolListSources::LocateUser(const uint32_t* user_id) {
  DhtEngine* dht = Get(engines_.dht);
  return dht && dht->LocateUser(user_id, nullptr);
}

bool EngineToolListSources::FindUserByName(std::u16string_view name) {
  NetworkEndpoint* endpoint = Get(engines_.endpoint);
  if (!endpoint) return false;
  const std::string bytes = Utf16ToLeBytes(name);
  uint32_t found[kUserIdWords] = {};
  return orv::FindUserByName(*endpoint, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), found);
}

void EngineToolListSources::SearchByName(std::u16string_view name) {
  if (DhtEngine* dht = Get(engines_.dht)) dht->SearchByName(name);
}

void EngineToolListCommands::RunCommand(const PeerRef& peer, ToolListCommand command) {
  if (command == ToolListCommand::kPing) {
    if (DhtEngine* dht = Get(engines_.dht)) dht->PingOrLocate(peer);
    return;
  }
  MainWindowController* controller = Get(engines_.controller);
  if (!controller) return;
  switch (command) {
    case ToolListCommand::kAddToFavorites: controller->AddContact(peer); break;
    case ToolListCommand::kSendFile: controller->SendFile(peer); break;
    case ToolListCommand::kInfo: controller->ShowUserInfo(peer); break;
    case ToolListCommand::kPing: break;
  }
}

void EngineToolListCommands::OpenChat(const PeerRef& peer) {
  if (Conversations* conversations = Get(engines_.conversations)) conversations->Open(peer);
}

}  // namespace orv
