#include "daemon/transfer_commands.hpp"

#include "daemon/transfer_lines.hpp"
#include "net/peer_table.hpp"
#include "store/file_time.hpp"

namespace orv {
namespace {

constexpr int64_t kMaxHandle = 0xFFFFFFFF;

// A UserId alone is completed with the address the peer table knows.
bool CompletePeer(Application& node, PeerRef& peer) {
  if (peer.ipv4 != 0 && peer.port != 0) return true;
  NetworkEndpoint* endpoint = node.endpoint();
  if (!endpoint) return false;
  for (const PeerStatus& known : ListPeers(*endpoint))
    if (SameUserId(known.ref.user_id, peer.user_id) && known.ref.ipv4 != 0 && known.ref.port != 0) {
      peer.ipv4 = known.ref.ipv4;
      peer.port = known.ref.port;
      return true;
    }
  return false;
}

Reply Send(Application& node, const CommandArgs& args) {
  FileTransferEngine* transfers = node.transfers();
  if (!transfers) return Reply::Error("the node has no file transfers");
  PeerRef peer = args.Peer(0);
  if (!CompletePeer(node, peer)) return Reply::Error("no address known for that user");
  const TransferStart start = transfers->StartFileTransfer(peer, args.Text(1));
  if (start.error != StartError::kNone) return Reply::Error(StartErrorText(start.error));
  return Reply::Ok(Fields().Number("transfer", start.handle));
}

Reply Accept(Application& node, const CommandArgs& args) {
  FileTransferEngine* transfers = node.transfers();
  if (!transfers) return Reply::Error("the node has no file transfers");
  const auto handle = static_cast<uint32_t>(args.Integer(0));
  std::optional<std::string> path;
  if (args.Has(1)) path = args.Text(1);
  switch (transfers->AcceptIncomingFile(handle, path)) {
    case AcceptResult::kAccepted:
      return Reply::Ok(Fields().Number("transfer", handle));
    case AcceptResult::kCantCreate:
      return Reply::Error(kCantCreateText);
    case AcceptResult::kNotWaiting:
      break;
  }
  return Reply::Error("no transfer request with that number");
}

Reply Cancel(Application& node, const CommandArgs& args) {
  FileTransferEngine* transfers = node.transfers();
  if (!transfers) return Reply::Error("the node has no file transfers");
  const auto handle = static_cast<uint32_t>(args.Integer(0));
  if (!transfers->CancelFileTransfer(handle)) return Reply::Error("no transfer with that number");
  return Reply::Ok(Fields().Number("transfer", handle));
}

Reply ListTransfers(Application& node) {
  FileTransferEngine* transfers = node.transfers();
  if (!transfers) return Reply::Error("the node has no file transfers");
  Reply reply;
  for (const TransferView& view : transfers->ListTransfers()) reply.items.push_back(TransferFields(view));
  reply.fields.Number("count", static_cast<int64_t>(reply.items.size()));
  return reply;
}

Reply ListDownloads(Application& node) {
  ContactStore* store = node.store();
  if (!store) return Reply::Error("the node has no contact store");
  Reply reply;
  for (const DownloadRecord& d : orv::ListDownloads(*store))
    reply.items.push_back(Fields()
                              .UserId("user", d.sender.user_id)
                              .Address("address", d.sender.ipv4, d.sender.port)
                              .Text("name", d.sender_name.value_or(""))
                              .Text("path", d.path.value_or(""))
                              .Text("time", TimeText(d.time)));
  reply.fields.Number("count", static_cast<int64_t>(reply.items.size()));
  return reply;
}

}  // namespace

void AddTransferCommands(CommandRegistry& registry, Application& node) {
  registry.Add({"send", {PeerArg(), PathArg()}, "offers the file to the user",
                [&node](const CommandArgs& args) { return Send(node, args); }});
  registry.Add({"accept", {IntegerArg("TRANSFER", 1, kMaxHandle), Optional(PathArg())},
                "accepts a file (saved at PATH, or in FileTransferPath under its name)",
                [&node](const CommandArgs& args) { return Accept(node, args); }});
  registry.Add({"cancel", {IntegerArg("TRANSFER", 1, kMaxHandle)}, "refuses or cancels a transfer",
                [&node](const CommandArgs& args) { return Cancel(node, args); }});
  registry.Add({"transfers", {}, "the file transfers and their progress",
                [&node](const CommandArgs&) { return ListTransfers(node); }});
  registry.Add({"downloads", {}, "the files received", [&node](const CommandArgs&) { return ListDownloads(node); }});
}

}  // namespace orv
