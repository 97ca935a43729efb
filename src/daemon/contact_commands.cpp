#include "daemon/contact_commands.hpp"

#include "daemon/main_window_lines.hpp"

namespace orv {
namespace {

Reply Result(const MainWindowController& window, CommandResult result, const uint32_t* user_id) {
  switch (result) {
    case CommandResult::kNotSaved:
      return Reply::Error("done for this run, but the contact list was not saved: " + window.save_failure());
    case CommandResult::kDone:
      return Reply::Ok(Fields().UserId("user", user_id));
    case CommandResult::kNotContact:
      return Reply::Error("that user is not a contact");
    case CommandResult::kDeclined:
      return Reply::Error("declined");
    case CommandResult::kUnknown:
      break;
  }
  return Reply::Error("nothing to do for that user");
}

using PeerCommand = CommandResult (MainWindowController::*)(const PeerRef&);

// A command on the contact the UserId in argument 0 names.
CommandHandler OnPeer(Application& node, PeerCommand command) {
  return [&node, command](const CommandArgs& args) {
    MainWindowController* window = node.main_window();
    if (!window) return Reply::Error("the node has no contact list");
    return Result(*window, (window->*command)(window->PeerForId(args.UserId(0))), args.UserId(0));
  };
}

// A command that needs only the controller.
template <typename Action>
CommandHandler OnWindow(Application& node, Action action) {
  return [&node, action](const CommandArgs& args) {
    MainWindowController* window = node.main_window();
    if (!window) return Reply::Error("the node has no contact list");
    return action(*window, args);
  };
}

Reply Contacts(MainWindowController& window) {
  Reply reply;
  for (const ContactRow& row : window.rows()) reply.items.push_back(ContactRowFields(row));
  reply.fields.Number("count", static_cast<int64_t>(reply.items.size()));
  return reply;
}

Reply Info(MainWindowController& window, const CommandArgs& args) {
  if (!args.Has(0)) return Reply::Ok(UserInfoFields(window.MyInformation()));
  return Reply::Ok(UserInfoFields(window.UserInfoFor(window.PeerForId(args.UserId(0)))));
}

}  // namespace

void AddContactCommands(CommandRegistry& registry, Application& node) {
  registry.Add({"contacts", {}, "the contact list with the status of each contact",
                OnWindow(node, [](MainWindowController& w, const CommandArgs&) { return Contacts(w); })});
  registry.Add({"add", {UserIdArg()}, "adds the user to the contacts (not authorized)",
                OnPeer(node, &MainWindowController::AddContact)});
  registry.Add({"authorize", {UserIdArg()}, "authorizes the contact",
                OnPeer(node, &MainWindowController::AuthorizeConfirmed)});
  registry.Add({"deauthorize", {UserIdArg()}, "takes the contact's authorization back",
                OnPeer(node, &MainWindowController::Deauthorize)});
  registry.Add({"remove", {UserIdArg()}, "removes the contact from the list",
                OnPeer(node, &MainWindowController::RemoveFromList)});
  registry.Add({"rename", {UserIdArg(), TextArg("NAME")}, "renames the contact",
                OnWindow(node, [](MainWindowController& w, const CommandArgs& args) {
                  return Result(w, w.RenameTo(w.PeerForId(args.UserId(0)), args.Text(1)), args.UserId(0));
                })});
  registry.Add({"online", {}, "presence online", OnWindow(node, [](MainWindowController& w, const CommandArgs&) {
                  w.CommandOnline();
                  return Reply::Ok(Fields().Text("title", w.title()));
                })});
  registry.Add({"away", {}, "presence away", OnWindow(node, [](MainWindowController& w, const CommandArgs&) {
                  w.CommandAway();
                  return Reply::Ok(Fields().Text("title", w.title()));
                })});
  registry.Add({"info", {Optional(UserIdArg())}, "the user's information (without ID: our own)",
                OnWindow(node, [](MainWindowController& w, const CommandArgs& args) { return Info(w, args); })});
  registry.Add({"request", {UserIdArg()}, "asks the user for a connection",
                OnWindow(node, [](MainWindowController& w, const CommandArgs& args) {
                  const PeerRef peer = w.PeerForId(args.UserId(0));
                  if (peer.ipv4 == 0 || peer.port == 0) return Reply::Error("no address known for that user");
                  w.RequestConnection(peer);
                  return Reply::Ok(Fields().UserId("user", args.UserId(0)));
                })});
  registry.Add({"accept-request", {UserIdArg()}, "accepts the user's connection request (adds the contact)",
                OnWindow(node, [](MainWindowController& w, const CommandArgs& args) {
                  return Result(w, w.AcceptConnectionRequest(args.UserId(0)), args.UserId(0));
                })});
}

}  // namespace orv
