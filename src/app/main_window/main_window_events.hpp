// What the main window shows and asks, as the controller tells it. The
// desktop window implements both with widgets, orvd with its control
// interface, tests with recorders. Every call comes from the interface
// thread with no core lock held.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window/contact_rows.hpp"
#include "app/main_window/presence.hpp"
#include "app/main_window/user_information.hpp"

namespace orv {

// A peer asks for a connection: the "RequestConnection" dialog (caption
// "Connection Request") shows `text`; its "Ok" accepts the request
// (AcceptConnectionRequest), "Cancel" dismisses it.
struct ConnectionRequest {
  PeerRef requester;
  std::string text;
};

// The display side: nothing here waits for the person.
class MainWindowEvents {
 public:
  virtual ~MainWindowEvents() = default;
  // The contact list as it stands now: rows written, surplus rows gone.
  virtual void ContactRowsChanged(const std::vector<ContactRow>& rows) = 0;
  // Select this row and scroll it into view.
  virtual void SelectContactRow(size_t row) = 0;
  // The main window title: "ORV Telephone - online" or "ORV Telephone - away".
  virtual void TitleChanged(std::string_view title) = 0;
  // The radio mark of the Status menu ("&Online" or "&Away"); automatic
  // away leaves it alone.
  virtual void PresenceMarkChanged(Presence presence) = 0;
  // The "Info" dialog (caption "User Info") for this record; an open one
  // is replaced, so that there is only ever one.
  virtual void ShowUserInfo(const UserInformation& info) = 0;
  // The modeless "RequestConnection" dialog.
  virtual void ShowConnectionRequest(const ConnectionRequest& request) = 0;
  // The status bar's line: a failure the person should know of, such as a
  // contact list that could not be saved; empty once that is mended.
  virtual void StatusTextChanged(std::string_view text) = 0;
};

// The modal prompts of the contact commands.
class MainWindowPrompts {
 public:
  virtual ~MainWindowPrompts() = default;
  // The "RenameDialog" (caption "Rename"): shows the original name and lets
  // the person edit the current one. The new name (perhaps empty) for "OK";
  // nothing for "Cancel" or the close box.
  virtual std::optional<std::string> AskRename(std::string_view original_name, std::string_view name) = 0;
  // The open-file dialog ("*.*", an existing file): the chosen path, or
  // nothing when the person cancels.
  virtual std::optional<std::string> ChooseFileToSend() = 0;
};

}  // namespace orv
