#include "app/port_mapping_steps.hpp"

#include "app/event_log.hpp"

namespace orv {
namespace {

bool Setup(Settings& settings, MappingAction action, PortMappingState& state, UpnpClient& client) {
  return SetupPortMapping(settings, action, state, client, LogEvent);
}

bool NetworkSettingsDiffer(const Settings& a, const Settings& b) {
  return a.EnableUPnP != b.EnableUPnP || a.RandomPort != b.RandomPort || a.RemotePort != b.RemotePort ||
         a.LocalPort != b.LocalPort || a.NextAvailablePort != b.NextAvailablePort;
}

}  // namespace

void MapPortWhenEnabled(UiPort& ui, Settings& settings, PortMappingState& state, UpnpClient& client) {
  if (!settings.EnableUPnP) return;
  if (!Setup(settings, MappingAction::kMap, state, client)) {
    ui.ShowMessage(kTitleWarning, kCannotSetupUpnpText, MessageIcon::kWarning);
  }
}

bool RemovePortMappingAtExit(Settings& settings, PortMappingState& state, UpnpClient& client) {
  if (!settings.CancelUPnPonExit || !settings.EnableUPnP) return true;
  return Setup(settings, MappingAction::kRemove, state, client);
}

void ApplyPortMappingChange(UiPort& ui, Settings& live, Settings& edited, PortMappingState& state,
                            UpnpClient& client) {
  if (!NetworkSettingsDiffer(live, edited)) return;
  if (edited.EnableUPnP) {
    if (!Setup(edited, MappingAction::kMap, state, client)) {
      ui.ShowMessage(kTitleWarning, kCannotSetupUpnpText, MessageIcon::kWarning);
    }
  } else if (!Setup(live, MappingAction::kRemove, state, client)) {
    ui.ShowMessage(kTitleWarning, kCannotDisableUpnpText, MessageIcon::kWarning);
  }
}

}  // namespace orv
