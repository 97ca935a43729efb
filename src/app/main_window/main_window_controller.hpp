// The main window's logic: the contact list refreshed every second from the
// contact store and the peer table, the contacts pinged or located, the
// automatic away, the user's presence, the contact commands, the answers to
// other users' connection requests, "Connect to..." and "&My information".
// A window only displays what this tells it (MainWindowEvents) and forwards
// the person's actions here; orvd drives the same calls from its control
// interface. Every call is made on the interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window/contact_menu.hpp"
#include "app/main_window/contact_rows.hpp"
#include "app/main_window/contacts_saver.hpp"
#include "app/main_window/main_window_events.hpp"
#include "app/main_window/main_window_ports.hpp"
#include "app/main_window/presence.hpp"
#include "app/main_window/user_information.hpp"
#include "app/ui_port.hpp"
#include "net/payload_sender.hpp"
#include "settings/settings.hpp"
#include "store/contact_store.hpp"

namespace orv {

// The DHT countdown: the contacts are pinged or located at the 21st tick,
// then at every 31st.
inline constexpr uint32_t kFirstLocateCountdown = 20;
inline constexpr uint32_t kLocateCountdown = 30;

// Everything the controller works with. The references outlive it;
// `settings` is read when used, so changes made by the settings dialog take
// effect at once.
struct MainWindowParts {
  const Settings& settings;
  ContactStore& store;
  UiPort& ui;
  MainWindowEvents& events;
  MainWindowPrompts& prompts;
  PeerDirectory& peers;
  PayloadSender& sender;
  ContactLocator& locator;
  ConversationControl& conversations;
  FileTransferStarter& transfers;
  IdleTimeSource& idle;
  OwnIdentitySource& own;
  ContactsSaver& saver;
};

// What a contact command came to.
enum class CommandResult {
  kDone,
  kNotContact,  // the UserId is not in the contact list: nothing happened
  kDeclined,    // the person said No or cancelled
  kUnknown,     // no such request, or a command that is not on the menu
  kNotSaved,    // done for this run, but the contacts file could not be written (see save_failure)
};

class MainWindowController {
 public:
  explicit MainWindowController(const MainWindowParts& parts);

  // Timer 1, every second: contact rows, addresses copied from the peer
  // table, the DHT countdown, automatic away.
  void MainTick();

  // The model, as of the last change.
  const std::vector<ContactRow>& rows() const { return rows_; }
  std::optional<size_t> selected_row() const;
  Presence presence() const { return presence_; }
  std::string title() const { return MainTitle(presence_, network_problem_); }
  uint32_t locate_countdown() const { return countdown_; }
  // Why the last save of the contacts file failed; empty after one that
  // succeeded.
  const std::string& save_failure() const { return save_failure_; }

  // The person selected a row (or none); the tick keeps that contact
  // selected wherever its row moves.
  void SelectRow(std::optional<size_t> row);

  // A user was found by name: it is located, and its row, when it has one,
  // is selected and scrolled into view.
  void UserFound(const uint32_t* user_id);

  // "&Online" (Presence 0) and "&Away" (Presence 2).
  void CommandOnline();
  void CommandAway();

  // Why the network cannot receive ("no key", "no password"), shown in the
  // title until it can; empty once it does.
  void SetNetworkProblem(std::string_view problem);

  // The contact popup menu of a row: nothing when the row's "ID" text is
  // not a UserId.
  std::optional<std::vector<ContactMenuItem>> ContactMenu(size_t row);
  // The menu of a peer (for rows of other lists and the control interface).
  std::vector<ContactMenuItem> ContactMenuFor(const PeerRef& peer);
  // Double click on a row: the conversation with its contact. False when
  // the row's "ID" text is not a UserId.
  bool OpenRow(size_t row);
  // Runs the chosen item on the peer the row names.
  CommandResult RunContactCommand(const PeerRef& peer, ContactCommand command);

  // The commands, one by one.
  CommandResult Authorize(const PeerRef& peer);    // asks first
  // The control interface's "authorize": the command is the confirmation.
  CommandResult AuthorizeConfirmed(const PeerRef& peer);
  CommandResult Deauthorize(const PeerRef& peer);  // asks nothing
  CommandResult RemoveFromList(const PeerRef& peer);
  void RequestConnection(const PeerRef& peer);     // call channel code 0
  CommandResult Rename(const PeerRef& peer);       // the rename dialog
  CommandResult RenameTo(const PeerRef& peer, const std::string& name);  // without it
  CommandResult SendFile(const PeerRef& peer);     // the open-file dialog first
  void ShowUserInfo(const PeerRef& peer);
  void ShowMyInformation();
  // "Add to favorite list": a new contact is added unauthorized under the
  // name the peer announces; a present one is only saved again.
  // An all-zero UserId adds nothing (kUnknown).
  CommandResult AddContact(const PeerRef& peer);

  // The records the "Info" dialog shows.
  UserInformation UserInfoFor(const PeerRef& peer);
  UserInformation MyInformation();

  // The peer a UserId names, with the address the contact list or else the
  // peer table knows (0 when neither does).
  PeerRef PeerForId(const uint32_t* user_id);

  // A peer asked for a connection (call channel code 0). With
  // `AllowConnectionRequest` the "RequestConnection" dialog shows it and
  // nothing is sent; otherwise code 10 goes back at once.
  void ConnectionRequestArrived(const PeerRef& requester);
  // "Ok" of the dialog: the requester becomes a contact. kUnknown when no
  // request of that UserId is open.
  CommandResult AcceptConnectionRequest(const uint32_t* user_id);
  // "Cancel": the request goes, nothing is sent.
  CommandResult DismissConnectionRequest(const uint32_t* user_id);
  const std::vector<ConnectionRequest>& connection_requests() const { return requests_; }

  // "Connect to...": a conversation with the address (an all-zero
  // UserId); an address of 0 opens nothing. False then.
  bool ConnectTo(uint32_t ipv4, uint16_t port);

  // Shutdown: the contacts file signed anew as it stands; when that fails
  // "Can't create signature for user list" is shown. False then. A file
  // whose signature failed at start-up is first written anew from the list
  // (its authorizations cleared), and is not signed when that fails.
  bool SignContactsAtShutdown();

 private:
  void RefreshRows(bool locate);
  std::optional<ContactRecord> FollowPeerTable(const ContactRecord& contact, std::optional<PeerLook>& look);
  void PublishRows(std::vector<ContactRow> rows);
  void AutomaticAway();
  void SetPresence(Presence presence);
  void SendCode(const PeerRef& peer, uint32_t code);
  bool SaveAndSign();
  CommandResult SavedOrNot();
  void NoteSave(const SaveOutcome& outcome);
  std::string AuthorizeQuestion(const ContactRecord& contact) const;

  MainWindowParts parts_;
  std::vector<ContactRow> rows_;
  bool selected_ = false;
  uint32_t selected_id_[kUserIdWords] = {};
  std::optional<size_t> shown_selection_;
  uint32_t countdown_ = kFirstLocateCountdown;
  Presence presence_ = Presence::kOnline;
  std::string network_problem_;
  std::vector<ConnectionRequest> requests_;
  std::string save_failure_;
};

}  // namespace orv
