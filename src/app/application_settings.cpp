// The settings dialog's OK on the running program: the effects of
// ApplyEditedSettings, each on the part of the program it concerns.
#include "app/application.hpp"
#include "app/event_log.hpp"
#include "app/settings_apply.hpp"
#include "app/settings_views.hpp"
#include "store/network_file.hpp"

namespace orv {

class Application::SettingsEffectsOnApp final : public SettingsEffects {
 public:
  explicit SettingsEffectsOnApp(Application& app) : app_(app) {}

  bool SetupPortMapping(Settings& settings, MappingAction action) override {
    if (!app_.upnp_) return true;
    return orv::SetupPortMapping(settings, action, app_.mapping_, *app_.upnp_, LogEvent);
  }
  void LoadKeyFile(const std::string& path) override { app_.UseKeyFile(path); }
  void ReopenLog(const Settings& settings) override { orv::ReopenLog(settings); }
  void LoadNetworkFile(const std::string& path) override {
    if (!app_.store_ || !app_.dht_) return;
    DhtEngine* dht = app_.dht_.get();
    orv::LoadNetworkFile(
        *app_.store_, [dht](const PeerRef& node) { dht->NoteDhtNode(node, false, nullptr); }, path);
  }
  void SetAutomaticGain(bool on) override {
    if (app_.hooks_.automatic_gain) app_.hooks_.automatic_gain(on);
  }
  void ReplaceSettings(const Settings& settings) override { app_.ReplaceSettings(settings); }
  void SelectAudioDevices(const Settings& settings) override {
    if (app_.hooks_.select_audio_devices) app_.hooks_.select_audio_devices(settings);
  }
  void SetAutostart(bool on) override { orv::SetAutostart(app_.autostart_, on); }

 private:
  Application& app_;
};

void Application::ApplySettings(const Settings& settings) {
  if (!started_) return;
  SettingsEffectsOnApp effects(*this);
  ApplyEditedSettings(ui_, effects, settings_, settings);
}

// The live settings, and the copies of them that engines keep: the chat
// switches, what the transfer thread reads, the password's countdown, the
// log's size limit. The main window's controller reads the live record
// itself.
void Application::ReplaceSettings(const Settings& settings) {
  settings_ = settings;
  SetLogSize(settings_.LogSize);
  if (conversations_) conversations_->SetSettings(ConversationSettingsOf(settings_, paths_));
  {
    std::lock_guard<std::mutex> hold(transfer_settings_->mutex);
    transfer_settings_->value = TransferSettingsOf(settings_);
  }
  if (passwords_) {
    passwords_->SetTime(settings_.Time);
    passwords_->SetRemember(settings_.Remember);
  }
}

Settings Application::SettingsToEdit() const {
  Settings out = settings_;
  if (passwords_) {
    out.Time = passwords_->Time();
    out.Remember = passwords_->Remember();
  }
  return out;
}

}  // namespace orv
