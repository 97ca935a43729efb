// The program's parts the settings dialog's OK acts on, and the UI port,
// in one recording fake: every effect is written into one list, so that
// their order shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/settings_apply.hpp"

namespace orv::test {

class RecordingProgram final : public SettingsEffects, public UiPort {
 public:
  bool map_result = true;
  bool remove_result = true;
  uint16_t port_found = 0;  // a map moves RemotePort here when not 0
  Settings replaced;
  std::vector<std::string> events;

  bool SetupPortMapping(Settings& settings, MappingAction action) override {
    if (action == MappingAction::kRemove) {
      Note("remove " + std::to_string(settings.RemotePort));
      return remove_result;
    }
    Note("map " + std::to_string(settings.RemotePort));
    if (port_found) settings.RemotePort = port_found;
    return map_result;
  }
  void LoadKeyFile(const std::string& path) override { Note("load key " + path); }
  void ReopenLog(const Settings& s) override { Note("reopen log " + s.Log + " " + std::to_string(s.EnableLog)); }
  void LoadNetworkFile(const std::string& path) override { Note("load network " + path); }
  void SetAutomaticGain(bool on) override { Note("agc " + std::to_string(on)); }
  void ReplaceSettings(const Settings& s) override {
    replaced = s;
    Note("replace");
  }
  void SelectAudioDevices(const Settings& s) override { Note("audio " + s.Microphone); }
  void SetAutostart(bool on) override { Note("autostart " + std::to_string(on)); }

  void ShowMessage(std::string_view title, std::string_view text, MessageIcon icon) override {
    Note(std::string(title) + ": " + std::string(text) + (icon == MessageIcon::kWarning ? " (warning)" : ""));
  }
  bool AskYesNo(std::string_view, std::string_view, MessageIcon) override { return false; }
  PasswordAnswer AskPassword(const PasswordRequest&) override { return {}; }
  void CollectEntropy(EntropySink&) override {}
  void SetPreventSleep(bool prevent) override { Note("prevent sleep " + std::to_string(prevent)); }
  void OpenFirewallPort(uint16_t port) override { Note("open firewall " + std::to_string(port)); }
  void CloseFirewallPort(uint16_t port) override { Note("close firewall " + std::to_string(port)); }

 private:
  void Note(std::string event) { events.push_back(std::move(event)); }
};

}  // namespace orv::test
