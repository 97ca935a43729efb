#include "daemon/node_commands.hpp"

#include "app/event_log.hpp"
#include "daemon/node_policies.hpp"
#include "identity/utf16.hpp"
#include "net/endpoint.hpp"
#include "net/peer_table.hpp"

namespace orv {
namespace {

Reply Status(Application& node) {
  NetworkEndpoint* endpoint = node.endpoint();
  if (!endpoint) return Reply::Error("the network is not open");
  const uint32_t zero[kUserIdWords] = {};
  AppContext* ctx = node.context();
  const bool has_key = ctx && ctx->key().loaded;
  return Reply::Ok(StatusFields(*endpoint, has_key ? ctx->key().certificate.user_id : zero));
}

Reply Peers(Application& node, const CommandArgs& args) {
  NetworkEndpoint* endpoint = node.endpoint();
  if (!endpoint) return Reply::Error("the network is not open");
  const bool all = args.Has(0);
  Reply reply;
  for (const PeerStatus& peer : ListPeers(*endpoint))
    if (all || peer.connected) reply.items.push_back(PeerFields(*endpoint, peer));
  reply.fields.Number("count", static_cast<int64_t>(reply.items.size()));
  return reply;
}

Reply Connect(Application& node, const CommandArgs& args) {
  const PeerRef& target = args.Peer(0);
  if (!node.Connect(target.ipv4, target.port)) return Reply::Error("the network is not enabled");
  return Reply::Ok(Fields().Address("address", target.ipv4, target.port));
}

Reply Policies(const Application& node) {
  const NodePolicies policies = PoliciesFromSettings(node.settings());
  return Reply::Ok(Fields()
                       .Flag("AllowAnyone", policies.AllowAnyone)
                       .Flag("AutoReceiveFiles", policies.AutoReceiveFiles)
                       .Flag("AcceptFileTransfer", policies.AcceptFileTransfer)
                       .Text("FileTransferPath", policies.FileTransferPath));
}

}  // namespace

Fields StatusFields(NetworkEndpoint& endpoint, const uint32_t* own_id) {
  size_t sessions = 0;
  const std::vector<PeerStatus> peers = ListPeers(endpoint);
  for (const PeerStatus& peer : peers) sessions += peer.connected ? 1 : 0;
  return Fields()
      .Number("port", EndpointPort(endpoint))
      .UserId("user", own_id)
      .Flag("enabled", endpoint.enabled.load())
      .Flag("away", endpoint.away.load())
      .Number("peers", static_cast<int64_t>(peers.size()))
      .Number("sessions", static_cast<int64_t>(sessions));
}

Fields PeerFields(NetworkEndpoint& endpoint, const PeerStatus& peer) {
  return Fields()
      .UserId("user", peer.ref.user_id)
      .Address("address", peer.ref.ipv4, peer.ref.port)
      .Text("name", Utf16ToUtf8(GetPeerName(endpoint, peer.ref.user_id)))
      .Flag("connected", peer.connected)
      .Flag("away", peer.away)
      .Text("state", PeerStateText(peer));
}

void AddNodeCommands(CommandRegistry& registry, Application& node, Dispatcher& dispatcher,
                     std::function<void()> request_stop) {
  registry.Add({"status", {}, "the node: port, user id, network enabled, peers and sessions",
                [&node](const CommandArgs&) { return Status(node); }});
  registry.Add({"peers", {Optional(WordArg("all", {"all"}))},
                "the peers with a session (all: every known peer)",
                [&node](const CommandArgs& args) { return Peers(node, args); }});
  registry.Add({"connect", {AddressArg()}, "opens a session to the peer at that address",
                [&node](const CommandArgs& args) { return Connect(node, args); }});
  registry.Add({"bootstrap", {}, "drops every session and enables the network again",
                [&node](const CommandArgs&) {
                  const NetworkStart start = node.Bootstrap();
                  if (start != NetworkStart::kListening)
                    return Reply::Error("not connected: " + std::string(NetworkProblemText(start)));
                  return Reply::Ok();
                }});
  registry.Add({"policies", {}, "the settings that decide for a headless node",
                [&node](const CommandArgs&) { return Policies(node); }});
  registry.Add({"quit", {}, "ends the node in order (every peer is told)",
                [&dispatcher, request_stop](const CommandArgs& args) {
                  LogEvent("Main", "Quit command from the " + args.context.origin);
                  // Posted behind this command, so that its reply goes out first.
                  dispatcher.Post(request_stop);
                  return Reply::Ok();
                }});
}

}  // namespace orv
