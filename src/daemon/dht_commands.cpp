#include "daemon/dht_commands.hpp"

#include "daemon/control_args.hpp"
#include "daemon/daemon_options.hpp"
#include "identity/utf16.hpp"
#include "net/endpoint.hpp"
#include "store/network_file.hpp"

namespace orv {
namespace {

Reply Locate(DhtEngine& dht, const uint32_t* user_id) {
  PeerRef found;
  if (dht.LocateUser(user_id, &found))
    return Reply::Ok(Fields().UserId("user", user_id).Flag("found", true).Address("address", found.ipv4, found.port));
  // The lookup runs on; its end comes as a lookup_ended event.
  return Reply::Ok(Fields().UserId("user", user_id).Flag("found", false));
}

// What `find` was given: a UserId, an address (IP or IP:PORT) or a name.
Reply Find(Application& node, DhtEngine& dht, const std::string& text) {
  PeerRef peer;
  if (ParseUserId(text, peer.user_id)) return Locate(dht, peer.user_id);
  uint32_t ipv4 = 0;
  uint16_t port = kDefaultNodePort;
  if (ParseIpPort(text, ipv4, port) || ParseIpPort(text + ":" + std::to_string(kDefaultNodePort), ipv4, port)) {
    if (!node.Connect(ipv4, port)) return Reply::Error("the network is not enabled");
    return Reply::Ok(Fields().Address("address", ipv4, port));
  }
  const std::u16string name = Utf8ToUtf16(text);
  const std::string bytes = Utf16ToLeBytes(name);
  uint32_t user_id[kUserIdWords] = {};
  // Connected peers are asked first; the DHT searches the name's keywords.
  if (FindUserByName(*node.endpoint(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), user_id))
    return Reply::Ok(Fields().Text("name", text).UserId("user", user_id));
  dht.SearchByName(name);
  return Reply::Ok(Fields().Text("name", text).Flag("searching", true));
}

Reply Nodes(DhtEngine& dht) {
  Reply reply;
  for (const DhtNodeView& view : dht.ListNodes())
    reply.items.push_back(Fields()
                              .Number("bucket", view.bucket)
                              .UserId("user", view.node.ref.user_id)
                              .Address("address", view.node.ref.ipv4, view.node.ref.port)
                              .Text("status", NodeStatusText(view.node)));
  reply.fields.Number("count", static_cast<int64_t>(reply.items.size()));
  return reply;
}

template <typename Action>
Reply WithDht(Application& node, Action action) {
  DhtEngine* dht = node.dht();
  if (!dht || !node.endpoint()) return Reply::Error("the node has no DHT");
  return action(*dht);
}

}  // namespace

void AddDhtCommands(CommandRegistry& registry, Application& node) {
  registry.Add({"find", {TextArg("NAME|ID|IP")}, "finds a user by name, UserId or address",
                [&node](const CommandArgs& args) {
                  return WithDht(node, [&](DhtEngine& dht) { return Find(node, dht, args.Text(0)); });
                }});
  registry.Add({"locate", {UserIdArg()}, "looks the user's address up in the DHT", [&node](const CommandArgs& args) {
                  return WithDht(node, [&](DhtEngine& dht) { return Locate(dht, args.UserId(0)); });
                }});
  registry.Add({"nodes", {}, "the DHT's routing table",
                [&node](const CommandArgs&) { return WithDht(node, [](DhtEngine& dht) { return Nodes(dht); }); }});
}

}  // namespace orv
