// An UpnpClient for unit tests: a router whose taken external ports and
// answers the test sets, recording every call.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "netsetup/upnp_client.hpp"

namespace orv::test {

class ScriptedUpnpClient final : public UpnpClient {
 public:
  struct Added {
    std::string external_port, internal_port, internal_client, description, protocol, remote_host;
    bool operator==(const Added&) const = default;
  };
  struct Deleted {
    std::string external_port, protocol, remote_host;
    bool operator==(const Deleted&) const = default;
  };

  GatewaySearch search = GatewaySearch::kFound;
  std::string lan_address = "192.168.1.20";
  std::string external_address = "203.0.113.7";
  std::set<std::string> taken;   // external ports the router refuses (718)
  std::set<std::string> mapped;  // external ports mapped by us

  std::vector<int> discovery_waits;
  std::vector<Added> added;
  std::vector<Deleted> deleted;
  int releases = 0;

  GatewaySearch FindGateway(int delay_ms) override {
    discovery_waits.push_back(delay_ms);
    return search;
  }
  std::string LanAddress() const override { return lan_address; }
  std::string ExternalIPAddress() override { return external_address; }
  int AddPortMapping(const std::string& external_port, const std::string& internal_port,
                     const std::string& internal_client, const std::string& description, const std::string& protocol,
                     const std::string& remote_host) override {
    added.push_back({external_port, internal_port, internal_client, description, protocol, remote_host});
    if (taken.count(external_port)) return 718;
    mapped.insert(external_port);
    return 0;
  }
  int DeletePortMapping(const std::string& external_port, const std::string& protocol,
                        const std::string& remote_host) override {
    deleted.push_back({external_port, protocol, remote_host});
    return mapped.erase(external_port) ? 0 : 714;
  }
  void Release() override { ++releases; }
};

}  // namespace orv::test
