// UpnpClient over the miniupnpc library.
#pragma once

#include <memory>
#include <string>

#include "netsetup/upnp_client.hpp"

namespace orv {

class MiniupnpcClient final : public UpnpClient {
 public:
  MiniupnpcClient();
  ~MiniupnpcClient() override;  // releases whatever is still held
  MiniupnpcClient(const MiniupnpcClient&) = delete;
  MiniupnpcClient& operator=(const MiniupnpcClient&) = delete;

  GatewaySearch FindGateway(int delay_ms) override;
  std::string LanAddress() const override;
  std::string ExternalIPAddress() override;
  int AddPortMapping(const std::string& external_port, const std::string& internal_port,
                     const std::string& internal_client, const std::string& description, const std::string& protocol,
                     const std::string& remote_host) override;
  int DeletePortMapping(const std::string& external_port, const std::string& protocol,
                        const std::string& remote_host) override;
  void Release() override;

 private:
  struct Gateway;
  std::unique_ptr<Gateway> gateway_;
};

}  // namespace orv
