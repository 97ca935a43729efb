// The router side of the port mapping: the UPnP Internet Gateway Device
// calls that SetupPortMapping makes, one object per set-up. The program
// uses MiniupnpcClient; tests script their own.
#pragma once

#include <string>

namespace orv {

enum class GatewaySearch {
  kNoDevice,   // discovery found no UPnP device
  kNoGateway,  // devices, but none of them a usable gateway
  kFound,      // a gateway; its URLs, service and our LAN address are kept
};

class UpnpClient {
 public:
  virtual ~UpnpClient() = default;

  // Discovery with a wait of `delay_ms`, then the choice of a gateway.
  virtual GatewaySearch FindGateway(int delay_ms) = 0;

  // This machine's address on the gateway's network (set by kFound).
  virtual std::string LanAddress() const = 0;

  // The gateway's external address as it writes it (at most 15
  // characters); empty when it cannot be read.
  virtual std::string ExternalIPAddress() = 0;

  // 0 for success, else the UPnP or miniupnpc error code. An empty
  // `remote_host` is the wildcard. Mappings are permanent (no lease).
  virtual int AddPortMapping(const std::string& external_port, const std::string& internal_port,
                             const std::string& internal_client, const std::string& description,
                             const std::string& protocol, const std::string& remote_host) = 0;
  virtual int DeletePortMapping(const std::string& external_port, const std::string& protocol,
                                const std::string& remote_host) = 0;

  // Frees the gateway's URLs and the device list of FindGateway.
  virtual void Release() = 0;
};

}  // namespace orv
