// When the port mapping on the home router is made and removed, and what
// the person is shown when that fails. Each call blocks for the discovery
// (2 s) plus the router's answers; the program makes them on the
// interface thread, as the settings they change live there.
#pragma once

#include "app/ui_port.hpp"
#include "netsetup/port_mapping.hpp"
#include "netsetup/upnp_client.hpp"
#include "settings/settings.hpp"

namespace orv {

// Start-up (after the single-instance step) and resume from sleep: when
// `EnableUPnP` is set, maps the port; on failure "Can't setup UPnP"
// (title "Warning") and the run goes on. Logs through LogEvent ("upnp").
void MapPortWhenEnabled(UiPort& ui, Settings& settings, PortMappingState& state, UpnpClient& client);

// Shutdown, after the settings were saved: when `CancelUPnPonExit` and
// `EnableUPnP` are both set, removes the mapping. Nothing is shown.
// Returns false when a removal was due and failed.
bool RemovePortMappingAtExit(Settings& settings, PortMappingState& state, UpnpClient& client);

// The settings dialogs after OK, before `edited` replaces `live`: when
// `EnableUPnP`, `RandomPort`, `RemotePort`, `LocalPort` or
// `NextAvailablePort` differ, maps `edited` when its `EnableUPnP` is set
// ("Can't setup UPnP" on failure), else removes the mapping of `live`
// ("Can't disable UPnP" on failure), both with the title "Warning".
void ApplyPortMappingChange(UiPort& ui, Settings& live, Settings& edited, PortMappingState& state,
                            UpnpClient& client);

}  // namespace orv
