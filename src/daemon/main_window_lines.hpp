// The main window of a headless node: what the contact list window would
// show becomes event lines, and its prompts are answered with Cancel (the
// control commands carry their answers with them).
#pragma once

#include "app/main_window/main_window_events.hpp"
#include "daemon/event_bus.hpp"

namespace orv {

class MainWindowLines final : public MainWindowEvents, public MainWindowPrompts {
 public:
  explicit MainWindowLines(EventBus& bus) : bus_(bus) {}

  void ContactRowsChanged(const std::vector<ContactRow>& rows) override;
  void SelectContactRow(size_t) override {}
  void TitleChanged(std::string_view title) override;
  void PresenceMarkChanged(Presence) override {}
  void ShowUserInfo(const UserInformation& info) override;
  void ShowConnectionRequest(const ConnectionRequest&) override {}
  // event status_bar text=... (empty once a save succeeds again)
  void StatusTextChanged(std::string_view text) override;

  std::optional<std::string> AskRename(std::string_view, std::string_view) override { return std::nullopt; }
  std::optional<std::string> ChooseFileToSend() override { return std::nullopt; }

 private:
  EventBus& bus_;
};

// The fields of a contact row and of a user information record.
Fields ContactRowFields(const ContactRow& row);
Fields UserInfoFields(const UserInformation& info);

}  // namespace orv
