// What the settings dialog's OK does: the edited copy replaces the live
// settings and every effect of a changed setting takes place at once, in a
// fixed order. The effects that reach engines go through SettingsEffects,
// the warnings and the platform calls through the UI port.
#pragma once

#include <string>

#include "app/ui_port.hpp"
#include "netsetup/port_mapping.hpp"
#include "settings/settings.hpp"

namespace orv {

// The program's parts the OK sequence acts on, one call per effect.
class SettingsEffects {
 public:
  virtual ~SettingsEffects() = default;
  // SetupPortMapping with these settings; true when done. A map may move
  // `settings.RemotePort` on (the port search).
  virtual bool SetupPortMapping(Settings& settings, MappingAction action) = 0;
  // The key file at `path` is loaded (failures are shown by the loading).
  virtual void LoadKeyFile(const std::string& path) = 0;
  // The log file is closed and opened again as `settings` say.
  virtual void ReopenLog(const Settings& settings) = 0;
  // The network file at `path` goes into the contact store and the DHT.
  virtual void LoadNetworkFile(const std::string& path) = 0;
  // The automatic gain of the first open call's voice engine.
  virtual void SetAutomaticGain(bool on) = 0;
  // `settings` become the live settings (and reach the engines that keep
  // their own copy of them).
  virtual void ReplaceSettings(const Settings& settings) = 0;
  // The audio devices named in `settings` are chosen, with the levels;
  // every open call reopens its devices.
  virtual void SelectAudioDevices(const Settings& settings) = 0;
  // The autostart entry is written (on) or removed (off).
  virtual void SetAutostart(bool on) = 0;
};

// The OK sequence, `live` being the settings in use and `edited` the
// dialog's copy:
//  1. When EnableUPnP, RandomPort, RemotePort, LocalPort or
//     NextAvailablePort differ: with EnableUPnP set in the copy the copy is
//     mapped ("Can't setup UPnP" on failure), otherwise the mapping of the
//     live settings is removed ("Can't disable UPnP" on failure); both
//     warnings have the title "Warning".
//  2. A changed key file path loads the key file.
//  3. A changed log file path or EnableLog reopens the log.
//  4. A changed network file path loads the network file.
//  5. The copy's AGC goes to the voice engine.
//  6. The copy replaces the live settings.
//  7. The audio devices and levels are chosen.
//  8. Autostart is set from Autostart.
//  9. The execution state from PreventSleep.
// 10. The local port is opened in the firewall when OpenFirewall is set,
//     closed otherwise.
void ApplyEditedSettings(UiPort& ui, SettingsEffects& effects, const Settings& live, Settings edited);

}  // namespace orv
