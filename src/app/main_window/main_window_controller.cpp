// The one-second tick, the selection and the presence.
#include "app/main_window/main_window_controller.hpp"

#include <algorithm>
#include <mutex>

namespace orv {
namespace {

constexpr uint64_t kMillisecondsPerMinute = 60000;

// A peer table address worth copying: one the network has actually used.
bool UsableAddress(const PeerRef& ref) { return ref.ipv4 != 0 && ref.port != 0; }

// Must hold store.lock.
ContactRecord* FindContactLocked(ContactStore& store, const uint32_t* user_id) {
  auto it = std::find_if(store.contacts.begin(), store.contacts.end(),
                         [&](const ContactRecord& c) { return SameUserId(c.peer.user_id, user_id); });
  return it == store.contacts.end() ? nullptr : &*it;
}

}  // namespace

MainWindowController::MainWindowController(const MainWindowParts& parts) : parts_(parts) {}

void MainWindowController::MainTick() {
  RefreshRows(countdown_ == 0);
  if (countdown_ > 0)
    --countdown_;
  else
    countdown_ = kLocateCountdown;
  AutomaticAway();
}

void MainWindowController::RefreshRows(bool locate) {
  // Only this thread adds or removes contacts, so the list read here stays
  // the list; the receive thread may still move a contact's address.
  const std::vector<ContactRecord> listed = ListContacts(parts_.store);
  std::vector<ContactRow> rows;
  rows.reserve(listed.size());
  for (const ContactRecord& entry : listed) {
    std::optional<PeerLook> look;
    const std::optional<ContactRecord> contact = FollowPeerTable(entry, look);
    if (!contact) continue;
    rows.push_back(MakeContactRow(*contact, ContactImageFor(contact->authorized, look)));
    if (locate) parts_.locator.PingOrLocate(contact->peer);
  }
  PublishRows(std::move(rows));
}

// The contact takes the address the peer table holds for its UserId. The
// peer table lock comes before the store lock, and the receive thread
// takes them in that order; so the table is read first and released
// before the store lock is taken to write the copy.
std::optional<ContactRecord> MainWindowController::FollowPeerTable(const ContactRecord& entry,
                                                                  std::optional<PeerLook>& look) {
  look = parts_.peers.LookUpPeer(entry.peer.user_id);
  std::lock_guard<std::mutex> guard(parts_.store.lock);
  ContactRecord* contact = FindContactLocked(parts_.store, entry.peer.user_id);
  if (!contact) return std::nullopt;
  if (look && UsableAddress(look->ref)) {
    contact->peer.ipv4 = look->ref.ipv4;
    contact->peer.port = look->ref.port;
  }
  return *contact;
}

void MainWindowController::PublishRows(std::vector<ContactRow> rows) {
  if (rows != rows_) {
    rows_ = std::move(rows);
    parts_.events.ContactRowsChanged(rows_);
  }
  const std::optional<size_t> selection = selected_row();
  if (selection && selection != shown_selection_) parts_.events.SelectContactRow(*selection);
  shown_selection_ = selection;
}

std::optional<size_t> MainWindowController::selected_row() const {
  if (!selected_) return std::nullopt;
  for (size_t i = 0; i < rows_.size(); ++i)
    if (SameUserId(rows_[i].peer.user_id, selected_id_)) return i;
  return std::nullopt;
}

void MainWindowController::SelectRow(std::optional<size_t> row) {
  selected_ = row && *row < rows_.size();
  if (selected_) CopyUserId(selected_id_, rows_[*row].peer.user_id);
  shown_selection_ = selected_ ? row : std::nullopt;
}

void MainWindowController::UserFound(const uint32_t* user_id) {
  parts_.locator.LocateUser(user_id);
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (!SameUserId(rows_[i].peer.user_id, user_id)) continue;
    selected_ = true;
    CopyUserId(selected_id_, user_id);
    shown_selection_ = i;
    parts_.events.SelectContactRow(i);
    return;
  }
}

// Away after `AwayTimeout` idle minutes unless a call is in voice, online
// again at the first tick after input. A presence the person chose stays.
void MainWindowController::AutomaticAway() {
  const int32_t timeout = parts_.settings.AwayTimeout;
  if (timeout <= 0 || presence_ == Presence::kAwayChosen) return;
  const uint64_t idle_minutes = parts_.idle.IdleMilliseconds() / kMillisecondsPerMinute;
  const uint64_t limit = static_cast<uint64_t>(timeout);
  if (presence_ == Presence::kOnline && idle_minutes >= limit) {
    if (!parts_.conversations.AnyCallInVoice()) SetPresence(Presence::kAwayAutomatic);
  } else if (presence_ == Presence::kAwayAutomatic && idle_minutes < limit) {
    SetPresence(Presence::kOnline);
  }
}

void MainWindowController::SetPresence(Presence presence) {
  presence_ = presence;
  parts_.peers.SetAway(IsAway(presence));
  parts_.events.TitleChanged(title());
}

void MainWindowController::SetNetworkProblem(std::string_view problem) {
  if (problem == network_problem_) return;
  network_problem_ = problem;
  parts_.events.TitleChanged(title());
}

void MainWindowController::CommandOnline() {
  SetPresence(Presence::kOnline);
  parts_.events.PresenceMarkChanged(Presence::kOnline);
}

void MainWindowController::CommandAway() {
  SetPresence(Presence::kAwayChosen);
  parts_.events.PresenceMarkChanged(Presence::kAwayChosen);
}

}  // namespace orv
