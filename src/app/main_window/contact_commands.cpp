// The contact popup menu's commands and "Add to favorite list".
#include <string>

#include "app/event_log.hpp"
#include "app/main_window/main_window_controller.hpp"
#include "identity/key_file.hpp"
#include "net/call_channel.hpp"
#include "store/contacts.hpp"
#include "store/field_text.hpp"

namespace orv {

std::optional<std::vector<ContactMenuItem>> MainWindowController::ContactMenu(size_t row) {
  if (row >= rows_.size()) return std::nullopt;
  const std::optional<PeerRef> peer = RowPeer(rows_[row]);
  if (!peer) return std::nullopt;
  return ContactMenuFor(*peer);
}

std::vector<ContactMenuItem> MainWindowController::ContactMenuFor(const PeerRef& peer) {
  return ContactMenuItems(IsAuthorizedContact(parts_.store, peer.user_id));
}

bool MainWindowController::OpenRow(size_t row) {
  if (row >= rows_.size()) return false;
  const std::optional<PeerRef> peer = RowPeer(rows_[row]);
  if (!peer) return false;
  parts_.conversations.OpenChat(*peer);
  return true;
}

CommandResult MainWindowController::RunContactCommand(const PeerRef& peer, ContactCommand command) {
  switch (command) {
    case ContactCommand::kAuthorize:
      return Authorize(peer);
    case ContactCommand::kDeauthorize:
      return Deauthorize(peer);
    case ContactCommand::kRemove:
      return RemoveFromList(peer);
    case ContactCommand::kRequestConnection:
      RequestConnection(peer);
      return CommandResult::kDone;
    case ContactCommand::kRename:
      return Rename(peer);
    case ContactCommand::kSendFile:
      return SendFile(peer);
    case ContactCommand::kInfo:
      ShowUserInfo(peer);
      return CommandResult::kDone;
  }
  return CommandResult::kUnknown;
}

std::string MainWindowController::AuthorizeQuestion(const ContactRecord& contact) const {
  return "Do you want to authorize following user:\nName: " + contact.name.value_or("") +
         "\nOriginal name: " + contact.original_name.value_or("") + "\nID: " + UserIdText(contact.peer.user_id) +
         "\nIP: " + DottedIpv4Text(contact.peer.ipv4) + "\nPort: " + std::to_string(contact.peer.port);
}

CommandResult MainWindowController::Authorize(const PeerRef& peer) {
  const std::optional<ContactRecord> contact = FindContact(parts_.store, peer.user_id);
  if (!contact) return CommandResult::kNotContact;
  if (!parts_.ui.AskYesNo(kTitleQuestion, AuthorizeQuestion(*contact), MessageIcon::kQuestion))
    return CommandResult::kDeclined;
  // The contact may have gone while the question was open.
  return AuthorizeConfirmed(peer);
}

CommandResult MainWindowController::AuthorizeConfirmed(const PeerRef& peer) {
  if (!SetContactAuthorized(parts_.store, peer.user_id, true)) return CommandResult::kNotContact;
  return SavedOrNot();
}

CommandResult MainWindowController::Deauthorize(const PeerRef& peer) {
  if (!SetContactAuthorized(parts_.store, peer.user_id, false)) return CommandResult::kNotContact;
  return SavedOrNot();
}

CommandResult MainWindowController::RemoveFromList(const PeerRef& peer) {
  if (!RemoveContact(parts_.store, peer.user_id)) return CommandResult::kNotContact;
  return SavedOrNot();
}

void MainWindowController::RequestConnection(const PeerRef& peer) { SendCode(peer, kCodeConnectionRequest); }

// Saved and signed whatever the person answers.
CommandResult MainWindowController::Rename(const PeerRef& peer) {
  const std::optional<ContactRecord> contact = FindContact(parts_.store, peer.user_id);
  if (!contact) return CommandResult::kNotContact;
  const std::optional<std::string> name =
      parts_.prompts.AskRename(contact->original_name.value_or(""), contact->name.value_or(""));
  if (name) RenameContact(parts_.store, peer.user_id, *name);
  const bool saved = SaveAndSign();
  if (!name) return CommandResult::kDeclined;
  return saved ? CommandResult::kDone : CommandResult::kNotSaved;
}

CommandResult MainWindowController::RenameTo(const PeerRef& peer, const std::string& name) {
  if (!RenameContact(parts_.store, peer.user_id, name)) return CommandResult::kNotContact;
  return SavedOrNot();
}

CommandResult MainWindowController::SendFile(const PeerRef& peer) {
  const std::optional<std::string> path = parts_.prompts.ChooseFileToSend();
  if (!path) return CommandResult::kDeclined;
  const std::string refusal = parts_.transfers.StartFileTransfer(peer, *path);
  if (!refusal.empty()) parts_.ui.ShowMessage(kTitleError, refusal, MessageIcon::kError);
  return CommandResult::kDone;
}

CommandResult MainWindowController::AddContact(const PeerRef& peer) {
  // A peer known by address only has no identity to keep.
  if (IsZeroUserId(peer.user_id)) return CommandResult::kUnknown;
  orv::AddContact(parts_.store, peer, parts_.peers.PeerName(peer.user_id));
  return SavedOrNot();
}

// A save that fails is logged and shown, and the change holds for this
// run; the next change tries again, since every save writes the whole list.
bool MainWindowController::SaveAndSign() {
  const SaveOutcome outcome = parts_.saver.SaveContactsAndSign(parts_.settings.Likes);
  NoteSave(outcome);
  // The list shows the change at once rather than at the next tick.
  RefreshRows(false);
  return static_cast<bool>(outcome);
}

CommandResult MainWindowController::SavedOrNot() {
  return SaveAndSign() ? CommandResult::kDone : CommandResult::kNotSaved;
}

void MainWindowController::NoteSave(const SaveOutcome& outcome) {
  if (outcome) {
    if (save_failure_.empty()) return;
    save_failure_.clear();
    parts_.events.StatusTextChanged("");
    return;
  }
  save_failure_ = outcome.reason;
  LogEvent("Main", "Can't save the contact list to " + parts_.settings.Likes + ": " + outcome.reason);
  parts_.events.StatusTextChanged("Can't save the contact list: " + outcome.reason);
}

bool MainWindowController::SignContactsAtShutdown() {
  // Never signed as it was read: it would make its authorizations genuine.
  if (ContactsFileRejected(parts_.store)) NoteSave(SaveContacts(parts_.store, parts_.settings.Likes));
  if (parts_.saver.SignNow(parts_.settings.Likes)) return true;
  parts_.ui.ShowMessage(kTitleWarning, kCannotSignWarning, MessageIcon::kWarning);
  return false;
}

}  // namespace orv
