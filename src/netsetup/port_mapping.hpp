// The UDP port mapped on the home router by UPnP: an external port
// (`RemotePort`) forwarded to the local one (`LocalPort`), described "ORV".
// It runs only on request: at start-up and on resume from sleep when
// `EnableUPnP` is set, after the settings dialogs changed a network setting,
// and at shutdown when `CancelUPnPonExit` and `EnableUPnP` are both set.
// It blocks its caller for the 2 s discovery plus the router's answers.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "netsetup/upnp_client.hpp"
#include "settings/settings.hpp"

namespace orv {

inline constexpr int kUpnpDiscoveryWaitMs = 2000;
inline constexpr int kMaxMappingAttempts = 20;
inline constexpr std::string_view kUpnpProtocol = "UDP";
inline constexpr std::string_view kUpnpDescription = "ORV";
inline constexpr std::string_view kUpnpLogSource = "upnp";

inline constexpr std::string_view kMappingSetText = "UPnP mapping was set successfully";
inline constexpr std::string_view kMappingErrorText = "ERROR: UPnP mapping can't be set";
inline constexpr std::string_view kMappingRemovedText = "UPnP mapping was removed successfully";
inline constexpr std::string_view kMappingNotRemovedText = "UPnP mapping can't be removed";

// What the callers show after a failed set-up or removal (title "Warning").
inline constexpr std::string_view kCannotSetupUpnpText = "Can't setup UPnP";
inline constexpr std::string_view kCannotDisableUpnpText = "Can't disable UPnP";

// The one thing kept between set-ups: the router's external IPv4 address
// (host order), 0 until learnt; "&My information" shows it. Readable from
// any thread.
struct PortMappingState {
  std::atomic<uint32_t> external_address{0};
};

// The event log call: (source, text). The program passes LogEvent.
using MappingLog = std::function<void(std::string_view source, std::string_view text)>;

enum class MappingAction { kMap, kRemove };

// Maps (or removes) the port as `settings` say, with `client` as the
// router's side:
// 1. Discovery, 2000 ms. No device: "ERROR: UPnP mapping can't be set", false.
// 2. A gateway: none usable gives "ERROR: UPnP mapping can't be set" and
//    true (nothing the user could do; no warning is due).
// 3. The external address is read and kept in `state` when it is a dotted
//    IPv4 address.
// 4. kRemove: the mapping of `RemotePort` is deleted; "UPnP mapping was
//    removed successfully" or "UPnP mapping can't be removed"; true exactly
//    when it was deleted.
// 5. kMap: at most 20 attempts. With `RandomPort` each attempt first takes
//    a new random `RemotePort` (RandomMappingPort). A success logs "UPnP
//    mapping was set successfully" and ends; a refusal logs "ERROR: UPnP
//    mapping can't be set", moves `RemotePort` on by one when
//    `NextAvailablePort` is set, and tries again only when
//    `NextAvailablePort` or `RandomPort` is set. Mappings are permanent and
//    open to any remote host. True exactly when the last
//    attempt succeeded; `RemotePort` keeps where the search stopped (it is
//    saved with the settings, so the next run starts there).
// Every log line has the source "upnp".
bool SetupPortMapping(Settings& settings, MappingAction action, PortMappingState& state, UpnpClient& client,
                      const MappingLog& log);

// The same with the real router (MiniupnpcClient).
bool SetupPortMapping(Settings& settings, MappingAction action, PortMappingState& state, const MappingLog& log);

// A random external port: the low byte, then the high byte, each one step
// of the wipe generator (the low 8 bits of its output).
uint16_t RandomMappingPort();

// "a.b.c.d" (four decimal numbers 0..255) as a 32-bit number in host order.
std::optional<uint32_t> ParseIpv4Text(std::string_view text);

}  // namespace orv
