// Loading the settings at start-up and applying the settings whose effects
// are platform calls. The settings module reads and writes the file and
// knows nothing of people; what must be asked or shown goes through the UI
// port here, one level up.
#pragma once

#include <functional>
#include <string>

#include "app/ui_port.hpp"
#include "settings/autostart.hpp"
#include "settings/profile_paths.hpp"
#include "settings/settings_file.hpp"

namespace orv {

// Key generation offered when there is no settings file: given the key file
// to create, true when a key file was written.
using KeyGenerator = std::function<bool(const std::string& key_file)>;

// Start-up's "Load settings", in order:
// 1. When the settings file does not exist, asks "Can't find settings
//    file:\n<path>\nDefault settings will be used.\nDo you want to generate
//    key file now?" (Warning, Yes/No); on Yes runs `generate_key` with the
//    default key file and logs "Key was not generated" ("Key & Password")
//    when it writes none. Loading goes on with defaults either way.
// 2. Reads every key; a remembered password comes back in `remembered`
//    (with `Time` forced to 0) for the caller to put into the password cache.
// 3. Applies autostart, the execution state and, when `OpenFirewall` is
//    set, opens the local port (ApplySystemSettings).
SettingsRead LoadSettings(UiPort& ui, const ProfilePaths& paths, const AutostartEntry& autostart,
                          const KeyGenerator& generate_key);

enum class FirewallRule {
  kOpenWhenSet,          // at load: open the port when `OpenFirewall` is set, else leave it
  kOpenWhenSetElseClose  // after the settings dialog: open it, or close it when not set
};

// Autostart entry from `Autostart`, the execution state from `PreventSleep`,
// and the firewall opening for `LocalPort`.
void ApplySystemSettings(UiPort& ui, const Settings& settings, const AutostartEntry& autostart, FirewallRule rule);

}  // namespace orv
