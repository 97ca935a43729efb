#include "store/network_file.hpp"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <vector>

#include "identity/key_file.hpp"
#include "store/field_text.hpp"
#include "store/xml_file.hpp"

#ifndef ORV_BOOTSTRAP_HOST_1
#define ORV_BOOTSTRAP_HOST_1 "bootstrap1.orv-telephone.net"
#endif
#ifndef ORV_BOOTSTRAP_HOST_2
#define ORV_BOOTSTRAP_HOST_2 "bootstrap2.orv-telephone.net"
#endif

namespace orv {
namespace {

NodeRecord ReadNode(const pugi::xml_node& node) {
  NodeRecord n;
  n.node.ipv4 = ReadDottedIpv4(node.attribute("ip").value());
  n.node.port = ReadPort(node.attribute("port").value());
  ReadUserIdText(node.attribute("id").value(), n.node.user_id);
  if (const pugi::xml_attribute url = node.attribute("url")) n.host = std::string(url.value());
  if (const pugi::xml_attribute time = node.attribute("time")) n.last_heard = ReadTimeText(time.value()).value_or(0);
  return n;
}

void WriteNode(pugi::xml_node& root, const NodeRecord& n) {
  pugi::xml_node node = root.append_child("node");
  node.append_attribute("ip") = DottedIpv4Text(n.node.ipv4).c_str();
  node.append_attribute("port") = static_cast<unsigned>(n.node.port);
  node.append_attribute("id") = UserIdText(n.node.user_id).c_str();
  node.append_attribute("time") = TimeText(n.last_heard).c_str();
  if (n.host) node.append_attribute("url") = n.host->c_str();
}

// Reads the file, or the built-in document when it gives no "users".
std::vector<NodeRecord> ReadNetworkDocument(ContactStore& store, const std::string& path) {
  pugi::xml_document doc;
  std::string reason;
  const XmlLoad result = LoadXmlFile(path, doc, &reason);
  if (result == XmlLoad::kLoaded && !doc.child("users")) reason = "no \"users\" element";
  if (result == XmlLoad::kUnreadable || (result == XmlLoad::kLoaded && !doc.child("users")))
    NoteUnreadableFile(store, path, reason);
  if (result != XmlLoad::kLoaded || !doc.child("users")) BuiltInBootstrapDocument(doc);
  std::vector<NodeRecord> nodes;
  for (const pugi::xml_node& node : doc.child("users").children("node")) nodes.push_back(ReadNode(node));
  return nodes;
}

// Resolves the host names; runs without the store lock, since a slow DNS
// server may take the resolver's whole time-out.
void ResolveHosts(ContactStore& store, std::vector<NodeRecord>& nodes, const HostResolver& resolve) {
  for (NodeRecord& n : nodes) {
    if (!n.host) continue;
    const uint32_t address = n.host->empty() ? 0 : resolve(*n.host);
    if (address != 0)
      n.node.ipv4 = address;
    else if (store.log)
      store.log("Main", "Can't resolve host " + *n.host + (n.node.ipv4 ? ", using the stored address" : ", skipped"));
  }
}

}  // namespace

const char* BootstrapHostName(int index) { return index == 0 ? ORV_BOOTSTRAP_HOST_1 : ORV_BOOTSTRAP_HOST_2; }

void BuiltInBootstrapDocument(pugi::xml_document& doc) {
  doc.reset();
  pugi::xml_node root = doc.append_child("users");
  for (int i = 0; i < 2; ++i) {
    pugi::xml_node node = root.append_child("node");
    node.append_attribute("url") = BootstrapHostName(i);
    node.append_attribute("port") = static_cast<unsigned>(kDefaultNodePort);
  }
}

uint32_t ResolveHostIpv4(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return 0;
  uint32_t address = 0;
  for (const addrinfo* a = list; a != nullptr && address == 0; a = a->ai_next)
    if (a->ai_family == AF_INET && a->ai_addr != nullptr)
      address = ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
  ::freeaddrinfo(list);
  return address;
}

size_t LoadNetworkFile(ContactStore& store, const LoadedNodeSink& note, const std::string& path,
                       const HostResolver& resolve) {
  std::vector<NodeRecord> nodes = ReadNetworkDocument(store, path);
  ResolveHosts(store, nodes, resolve);
  const FileTime now = store.clock();
  std::vector<PeerRef> loaded;
  {
    std::lock_guard guard(store.lock);
    for (NodeRecord& n : nodes) {
      if (n.node.ipv4 == 0 || n.node.port == 0) continue;
      if (n.last_heard == 0) n.last_heard = now;
      loaded.push_back(n.node);
      MergeNode(store, std::move(n));
    }
  }
  // The DHT engine hears of the nodes once the store lock is released: it
  // takes its own lock, which comes before the store lock.
  if (note)
    for (const PeerRef& node : loaded) note(node);
  return loaded.size();
}

SaveOutcome SaveNetworkFile(ContactStore& store, const std::string& path) {
  const FileTime now = store.clock();
  const FileTime cutoff = now > kNodeKeepTime ? now - kNodeKeepTime : 0;
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("users");
  {
    std::lock_guard guard(store.lock);
    size_t written = 0;
    for (const NodeRecord& n : store.nodes) {
      if (written >= kAlwaysSavedNodes && n.last_heard < cutoff) continue;
      WriteNode(root, n);
      ++written;
    }
  }
  return ReplaceStoreFile(store, path, XmlDocumentText(doc, "\t"));
}

}  // namespace orv
