// User information, connection requests from others and "Connect to...".
#include <algorithm>
#include <string>

#include "app/main_window/main_window_controller.hpp"
#include "crypto/byte_order.hpp"
#include "identity/key_file.hpp"
#include "net/call_channel.hpp"
#include "net/dispatch.hpp"
#include "store/contacts.hpp"
#include "store/field_text.hpp"

namespace orv {
namespace {

constexpr char kUnknownName[] = "<unknown>";

}  // namespace

UserInformation MainWindowController::UserInfoFor(const PeerRef& peer) {
  UserInformation info;
  info.peer = peer;
  if (const std::optional<ContactRecord> contact = FindContact(parts_.store, peer.user_id)) {
    info.name = LimitUserInfoName(contact->name.value_or(""));
    info.has_original_name = true;
    info.original_name = LimitUserInfoName(contact->original_name.value_or(""));
    info.authorized = contact->authorized;
  } else {
    info.name = LimitUserInfoName(parts_.peers.PeerName(peer.user_id));
  }
  info.status = parts_.peers.PeerPresence(peer.user_id);
  return info;
}

UserInformation MainWindowController::MyInformation() {
  const OwnIdentity own = parts_.own.Own();
  UserInformation info;
  info.name = own.loaded ? LimitUserInfoName(own.name) : kUnknownName;
  CopyUserId(info.peer.user_id, own.user_id);
  info.peer.ipv4 = own.external_ipv4;
  info.peer.port = parts_.settings.RemotePort;
  info.authorized = true;
  info.status = 1;
  return info;
}

void MainWindowController::ShowUserInfo(const PeerRef& peer) { parts_.events.ShowUserInfo(UserInfoFor(peer)); }

void MainWindowController::ShowMyInformation() { parts_.events.ShowUserInfo(MyInformation()); }

PeerRef MainWindowController::PeerForId(const uint32_t* user_id) {
  if (const std::optional<ContactRecord> contact = FindContact(parts_.store, user_id)) return contact->peer;
  if (const std::optional<PeerLook> look = parts_.peers.LookUpPeer(user_id)) return look->ref;
  PeerRef peer;
  CopyUserId(peer.user_id, user_id);
  return peer;
}

void MainWindowController::SendCode(const PeerRef& peer, uint32_t code) {
  uint8_t data[4];
  StoreLe32(data, code);
  PeerRef target = peer;
  parts_.sender.SendPayload(target, kInnerCallChannel, data, sizeof data);
}

// One open request per requester: a repeated request updates the address
// of the open one instead of piling up dialogs.
void MainWindowController::ConnectionRequestArrived(const PeerRef& requester) {
  if (!parts_.settings.AllowConnectionRequest) {
    SendCode(requester, kCodeNotAllowed);
    return;
  }
  ConnectionRequest request;
  request.requester = requester;
  request.text = "Do you accept connection request from user:\nName: " + parts_.peers.PeerName(requester.user_id) +
                 "\nID: " + UserIdText(requester.user_id) + "\nIP: " + DottedIpv4Text(requester.ipv4) +
                 "\nPort: " + std::to_string(requester.port);
  auto open = std::find_if(requests_.begin(), requests_.end(), [&](const ConnectionRequest& r) {
    return SameUserId(r.requester.user_id, requester.user_id);
  });
  if (open != requests_.end()) {
    *open = std::move(request);
    return;
  }
  requests_.push_back(request);
  parts_.events.ShowConnectionRequest(request);
}

CommandResult MainWindowController::AcceptConnectionRequest(const uint32_t* user_id) {
  auto open = std::find_if(requests_.begin(), requests_.end(),
                           [&](const ConnectionRequest& r) { return SameUserId(r.requester.user_id, user_id); });
  if (open == requests_.end()) return CommandResult::kUnknown;
  const PeerRef requester = open->requester;
  requests_.erase(open);
  return AddContact(requester);
}

CommandResult MainWindowController::DismissConnectionRequest(const uint32_t* user_id) {
  auto open = std::find_if(requests_.begin(), requests_.end(),
                           [&](const ConnectionRequest& r) { return SameUserId(r.requester.user_id, user_id); });
  if (open == requests_.end()) return CommandResult::kUnknown;
  requests_.erase(open);
  return CommandResult::kDone;
}

bool MainWindowController::ConnectTo(uint32_t ipv4, uint16_t port) {
  if (ipv4 == 0) return false;
  PeerRef peer;
  peer.ipv4 = ipv4;
  peer.port = port;
  parts_.conversations.OpenChat(peer);
  return true;
}

}  // namespace orv
