#include "netsetup/port_mapping.hpp"

#include <charconv>
#include <string>

#include "crypto/wipe.hpp"
#include "netsetup/miniupnpc_client.hpp"

namespace orv {
namespace {

// The remote host of every mapping: the wildcard. A router that honours
// the remote host forwards only datagrams from that host; naming the
// router's own external address there would let no peer through.
constexpr std::string_view kAnyRemoteHost = "";

// What one set-up works with: the router's side and the texts it sends.
struct MappingRequest {
  UpnpClient& client;
  const MappingLog& log;
  std::string lan_address;

  void Log(std::string_view text) const {
    if (log) log(kUpnpLogSource, text);
  }
};

void LearnExternalAddress(UpnpClient& client, PortMappingState& state) {
  if (const auto address = ParseIpv4Text(client.ExternalIPAddress())) state.external_address.store(*address);
}

bool RemoveMapping(const Settings& settings, const MappingRequest& request) {
  const int result = request.client.DeletePortMapping(std::to_string(settings.RemotePort), std::string(kUpnpProtocol),
                                                      std::string(kAnyRemoteHost));
  request.Log(result == 0 ? kMappingRemovedText : kMappingNotRemovedText);
  return result == 0;
}

bool MapPort(Settings& settings, const MappingRequest& request) {
  const std::string internal_port = std::to_string(settings.LocalPort);
  bool mapped = false;
  for (int attempt = 0; attempt < kMaxMappingAttempts; ++attempt) {
    if (settings.RandomPort) settings.RemotePort = RandomMappingPort();
    const int result = request.client.AddPortMapping(std::to_string(settings.RemotePort), internal_port,
                                                     request.lan_address, std::string(kUpnpDescription),
                                                     std::string(kUpnpProtocol), std::string(kAnyRemoteHost));
    mapped = result == 0;
    if (mapped) {
      request.Log(kMappingSetText);
      break;
    }
    request.Log(kMappingErrorText);
    if (settings.NextAvailablePort) settings.RemotePort = static_cast<uint16_t>(settings.RemotePort + 1);
    if (!settings.NextAvailablePort && !settings.RandomPort) break;
  }
  return mapped;
}

}  // namespace

uint16_t RandomMappingPort() {
  const uint32_t low = WipeStep() & 0xFF;
  const uint32_t high = WipeStep() & 0xFF;
  return static_cast<uint16_t>(low | (high << 8));
}

std::optional<uint32_t> ParseIpv4Text(std::string_view text) {
  uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() || value > 255) return std::nullopt;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    address = address * 256 + value;
  }
  if (!text.empty()) return std::nullopt;
  return address;
}

bool SetupPortMapping(Settings& settings, MappingAction action, PortMappingState& state, UpnpClient& client,
                      const MappingLog& log) {
  MappingRequest request{client, log, {}};
  const GatewaySearch search = client.FindGateway(kUpnpDiscoveryWaitMs);
  if (search != GatewaySearch::kFound) {
    request.Log(kMappingErrorText);
    client.Release();
    return search == GatewaySearch::kNoGateway;
  }
  request.lan_address = client.LanAddress();
  LearnExternalAddress(client, state);
  const bool done = action == MappingAction::kRemove ? RemoveMapping(settings, request) : MapPort(settings, request);
  client.Release();
  return done;
}

bool SetupPortMapping(Settings& settings, MappingAction action, PortMappingState& state, const MappingLog& log) {
  MiniupnpcClient client;
  return SetupPortMapping(settings, action, state, client, log);
}

}  // namespace orv
