#include "app/main_window/main_window_inbox.hpp"

#include <array>

namespace orv {

bool MainWindowInbox::StartMainTimer() {
  return dispatcher_.StartTimer(kMainWindowTimer, kMainTickMs, [this] { controller_.MainTick(); });
}

void MainWindowInbox::StopMainTimer() { dispatcher_.StopTimer(kMainWindowTimer); }

void MainWindowInbox::PostConnectionRequest(const PeerRef& requester) {
  dispatcher_.Post([this, requester] { controller_.ConnectionRequestArrived(requester); });
}

void MainWindowInbox::PostUserFound(const uint32_t* user_id) {
  std::array<uint32_t, kUserIdWords> id;
  CopyUserId(id.data(), user_id);
  dispatcher_.Post([this, id] { controller_.UserFound(id.data()); });
}

}  // namespace orv
