#include "app/settings_apply.hpp"

namespace orv {
namespace {

bool PortMappingSettingsDiffer(const Settings& a, const Settings& b) {
  return a.EnableUPnP != b.EnableUPnP || a.RandomPort != b.RandomPort || a.RemotePort != b.RemotePort ||
         a.LocalPort != b.LocalPort || a.NextAvailablePort != b.NextAvailablePort;
}

// Step 1. The old mapping is removed with the live settings (the ports it
// was made for); a new one is made with the copy, whose RemotePort keeps
// where the port search stopped.
void ApplyPortMapping(UiPort& ui, SettingsEffects& effects, const Settings& live, Settings& edited) {
  if (!PortMappingSettingsDiffer(live, edited)) return;
  if (edited.EnableUPnP) {
    if (!effects.SetupPortMapping(edited, MappingAction::kMap))
      ui.ShowMessage(kTitleWarning, kCannotSetupUpnpText, MessageIcon::kWarning);
    return;
  }
  Settings old = live;
  if (!effects.SetupPortMapping(old, MappingAction::kRemove))
    ui.ShowMessage(kTitleWarning, kCannotDisableUpnpText, MessageIcon::kWarning);
}

// Steps 2 to 4: the files whose path changed are loaded again.
void ReloadChangedFiles(SettingsEffects& effects, const Settings& live, const Settings& edited) {
  if (edited.Key != live.Key) effects.LoadKeyFile(edited.Key);
  if (edited.Log != live.Log || edited.EnableLog != live.EnableLog) effects.ReopenLog(edited);
  if (edited.Users != live.Users) effects.LoadNetworkFile(edited.Users);
}

// Steps 8 to 10: the settings whose effects are platform calls.
void ApplySystemEffects(UiPort& ui, SettingsEffects& effects, const Settings& s) {
  effects.SetAutostart(s.Autostart);
  ui.SetPreventSleep(s.PreventSleep);
  if (s.OpenFirewall) {
    ui.OpenFirewallPort(s.LocalPort);
  } else {
    ui.CloseFirewallPort(s.LocalPort);
  }
}

}  // namespace

void ApplyEditedSettings(UiPort& ui, SettingsEffects& effects, const Settings& live, Settings edited) {
  ApplyPortMapping(ui, effects, live, edited);
  ReloadChangedFiles(effects, live, edited);
  effects.SetAutomaticGain(edited.AGC);
  effects.ReplaceSettings(edited);
  effects.SelectAudioDevices(edited);
  ApplySystemEffects(ui, effects, edited);
}

}  // namespace orv
