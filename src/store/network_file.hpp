// The network file: every node heard during earlier runs (root "users", one
// "node" per entry with "ip", "port", "id", "time" and, for bootstrap hosts,
// "url"), and the built-in bootstrap document used when there is no usable
// file.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "store/contact_store.hpp"
#include "store/save_outcome.hpp"

namespace orv {

constexpr uint16_t kDefaultNodePort = 31265;
// Saving keeps this many nodes whatever their age, and beyond them only the
// nodes heard within kNodeKeepTime.
constexpr size_t kAlwaysSavedNodes = 1000;
constexpr FileTime kNodeKeepTime = 30 * kFileTimeTicksPerDay;

// The two built-in bootstrap host names (a build option).
const char* BootstrapHostName(int index);

// Fills `doc` with the built-in bootstrap document: "users" with one "node"
// per built-in host, holding only its "url" and "port" 31265.
void BuiltInBootstrapDocument(pugi::xml_document& doc);

// Resolves a host name to an IPv4 address in host order; 0 on failure.
using HostResolver = std::function<uint32_t(const std::string& host)>;

// The DNS: getaddrinfo for IPv4 only, first address.
uint32_t ResolveHostIpv4(const std::string& host);

// Receives each loaded node for the DHT routing table (not live, no store).
using LoadedNodeSink = std::function<void(const PeerRef& node)>;

// Adds the nodes of the network file (or, when it does not parse or has no
// "users", of the built-in document) to the node list and hands each to
// `note`. Host names are resolved before the store lock is taken; a name
// that does not resolve keeps the address read from the file, and a node
// left without address or port is dropped (and logged). Returns the number
// of nodes merged.
size_t LoadNetworkFile(ContactStore& store, const LoadedNodeSink& note, const std::string& path,
                       const HostResolver& resolve = ResolveHostIpv4);

// Writes the node list: the first 1000 written nodes whatever their age,
// then only nodes heard within the last 30 days. The file is replaced
// whole; on failure nothing was written and the outcome says why.
SaveOutcome SaveNetworkFile(ContactStore& store, const std::string& path);

}  // namespace orv
