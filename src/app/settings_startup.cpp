#include "app/settings_startup.hpp"

#include <filesystem>
#include <system_error>

#include "app/event_log.hpp"
#include "settings/settings_defaults.hpp"

namespace orv {
namespace {

void OfferKeyGeneration(UiPort& ui, const ProfilePaths& paths, const KeyGenerator& generate_key) {
  const std::string text = "Can't find settings file:\n" + paths.settings_file +
                           "\nDefault settings will be used.\nDo you want to generate key file now?";
  if (!ui.AskYesNo(kTitleWarning, text, MessageIcon::kWarning)) return;
  const bool generated = generate_key && generate_key(DefaultKeyFile(paths));
  if (!generated) LogEvent("Key & Password", "Key was not generated");
}

}  // namespace

void ApplySystemSettings(UiPort& ui, const Settings& settings, const AutostartEntry& autostart, FirewallRule rule) {
  SetAutostart(autostart, settings.Autostart);  // failures are not reported
  ui.SetPreventSleep(settings.PreventSleep);
  if (settings.OpenFirewall) {
    ui.OpenFirewallPort(settings.LocalPort);
  } else if (rule == FirewallRule::kOpenWhenSetElseClose) {
    ui.CloseFirewallPort(settings.LocalPort);
  }
}

SettingsRead LoadSettings(UiPort& ui, const ProfilePaths& paths, const AutostartEntry& autostart,
                          const KeyGenerator& generate_key) {
  std::error_code ec;
  if (!std::filesystem::exists(paths.settings_file, ec)) {
    OfferKeyGeneration(ui, paths, generate_key);
  }
  SettingsRead read = ReadSettings(paths);
  ApplySystemSettings(ui, read.settings, autostart, FirewallRule::kOpenWhenSet);
  return read;
}

}  // namespace orv
