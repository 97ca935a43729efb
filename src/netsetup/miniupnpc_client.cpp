#include "netsetup/miniupnpc_client.hpp"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

#include <cstring>

namespace orv {
namespace {

// Discovery: no multicast interface, no minissdpd socket, any source port,
// IPv4 only, the library's usual multicast TTL.
constexpr int kAnySourcePort = 0;
constexpr int kIpv4Only = 0;
constexpr unsigned char kMulticastTtl = 2;
constexpr int kLanAddressChars = 64;
constexpr int kExternalAddressChars = 16;

}  // namespace

struct MiniupnpcClient::Gateway {
  UPNPDev* devices = nullptr;
  UPNPUrls urls{};
  IGDdatas data{};
  char lan_address[kLanAddressChars] = {};
  bool urls_held = false;

  ~Gateway() {
    if (urls_held) FreeUPNPUrls(&urls);
    if (devices) freeUPNPDevlist(devices);
  }
};

MiniupnpcClient::MiniupnpcClient() = default;
MiniupnpcClient::~MiniupnpcClient() = default;

GatewaySearch MiniupnpcClient::FindGateway(int delay_ms) {
  Release();
  auto gateway = std::make_unique<Gateway>();
  int error = 0;
  gateway->devices = upnpDiscover(delay_ms, nullptr, nullptr, kAnySourcePort, kIpv4Only, kMulticastTtl, &error);
  if (!gateway->devices) return GatewaySearch::kNoDevice;
#if MINIUPNPC_API_VERSION >= 18
  char wan_address[kLanAddressChars] = {};
  const int found = UPNP_GetValidIGD(gateway->devices, &gateway->urls, &gateway->data, gateway->lan_address,
                                     sizeof gateway->lan_address, wan_address, sizeof wan_address);
#else
  const int found = UPNP_GetValidIGD(gateway->devices, &gateway->urls, &gateway->data, gateway->lan_address,
                                     sizeof gateway->lan_address);
#endif
  // The library may have filled the URLs of a candidate it then rejected;
  // freeing a zeroed set is harmless.
  gateway->urls_held = true;
  gateway_ = std::move(gateway);
  return found < 1 ? GatewaySearch::kNoGateway : GatewaySearch::kFound;
}

std::string MiniupnpcClient::LanAddress() const { return gateway_ ? gateway_->lan_address : ""; }

std::string MiniupnpcClient::ExternalIPAddress() {
  if (!gateway_ || !gateway_->urls.controlURL) return {};
  char text[kExternalAddressChars] = {};
  if (UPNP_GetExternalIPAddress(gateway_->urls.controlURL, gateway_->data.first.servicetype, text) !=
      UPNPCOMMAND_SUCCESS) {
    return {};
  }
  return std::string(text, strnlen(text, sizeof text));
}

int MiniupnpcClient::AddPortMapping(const std::string& external_port, const std::string& internal_port,
                                    const std::string& internal_client, const std::string& description,
                                    const std::string& protocol, const std::string& remote_host) {
  if (!gateway_ || !gateway_->urls.controlURL) return UPNPCOMMAND_INVALID_ARGS;
  return UPNP_AddPortMapping(gateway_->urls.controlURL, gateway_->data.first.servicetype, external_port.c_str(),
                             internal_port.c_str(), internal_client.c_str(), description.c_str(), protocol.c_str(),
                             remote_host.c_str(), nullptr);
}

int MiniupnpcClient::DeletePortMapping(const std::string& external_port, const std::string& protocol,
                                       const std::string& remote_host) {
  if (!gateway_ || !gateway_->urls.controlURL) return UPNPCOMMAND_INVALID_ARGS;
  return UPNP_DeletePortMapping(gateway_->urls.controlURL, gateway_->data.first.servicetype, external_port.c_str(),
                                protocol.c_str(), remote_host.c_str());
}

void MiniupnpcClient::Release() { gateway_.reset(); }

}  // namespace orv
