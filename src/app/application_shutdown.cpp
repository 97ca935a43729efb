// The steps of the shutdown sequence, one function each, in their order.
// Each acts only on what the start-up made (it may have stopped early) and
// returns whether it did anything.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/application.hpp"
#include "app/event_log.hpp"
#include "app/port_mapping_steps.hpp"
#include "crypto/random_pool.hpp"
#include "store/downloads.hpp"
#include "store/network_file.hpp"

namespace orv {

bool Application::CloseToolWindows() {
  if (!tool_windows_) return false;
  tool_windows_ = false;
  ui_.CloseWindow(AppWindow::kNetwork);
  ui_.CloseWindow(AppWindow::kKademlia);
  return true;
}

bool Application::StopMainTimer() {
  if (!inbox_) return false;
  inbox_->StopMainTimer();
  return true;
}

bool Application::StopPasswordTimer() {
  if (!timer_) return false;
  timer_.reset();
  return true;
}

bool Application::SaveNetworkFileStep() {
  if (!store_) return false;
  const SaveOutcome saved = SaveNetworkFile(*store_, settings_.Users);
  if (!saved) LogEvent("Main", "Can't save the network file " + settings_.Users + ": " + saved.reason);
  return true;
}

// The contacts file is signed anew as it stands (the commands that change
// it save it), so that the next start accepts it. A node that never had
// contacts has no file to sign.
bool Application::SignContacts() {
  if (!main_window_ || !std::filesystem::exists(settings_.Likes)) return false;
  main_window_->SignContactsAtShutdown();
  saver_->WaitForSigning();
  return true;
}

bool Application::SaveDownloadsStep() {
  const KeyRecord& key = ctx_->key();
  if (!store_ || !key.loaded) return false;
  PasswordBytes password;
  if (!passwords_->GetPassword(password)) return false;
  const SaveOutcome saved = SaveDownloads(*store_, settings_.Downloads, key, password.data(), password.size());
  if (!saved) LogEvent("Main", "Can't save the downloads file " + settings_.Downloads + ": " + saved.reason);
  return true;
}

bool Application::RefreshSeedAtExit() {
  if (!passwords_) return false;
  SeedFileRefresh(settings_.Seed);
  return true;
}

// Every chat window closes, and with them the main window's logic that
// reaches into the engines. The endpoint lets go of the engines first, so
// that no datagram reaches an engine that is going.
bool Application::CloseConversations() {
  if (!endpoint_) return false;
  SetNetworkConsumers(*endpoint_, {});
  StopMainWindow();
  if (conversations_) ui_.CloseWindow(AppWindow::kChats);
  conversations_.reset();
  chat_log_keys_.reset();
  conversation_network_.reset();
  return true;
}

void Application::StopMainWindow() {
  inbox_.reset();
  main_window_.reset();
  if (saver_) saver_->WaitForSigning();
  saver_.reset();
  signer_.reset();
  own_identity_.reset();
  transfer_starter_.reset();
  conversation_control_.reset();
  locator_.reset();
  peer_directory_.reset();
}

bool Application::StopTransfers() {
  if (!transfers_) return false;
  transfers_->StopFileTransfers();
  transfers_.reset();
  return true;
}

bool Application::StopDht() {
  if (!dht_) return false;
  dht_->StopThread();
  dht_.reset();
  dht_clock_.reset();
  return true;
}

// Every connected peer is told that the session ends.
bool Application::CloseEndpointStep() {
  if (!endpoint_) return false;
  sender_.Attach(nullptr);
  dht_network_.Attach(nullptr);
  CloseEndpoint(*endpoint_);
  endpoint_.reset();
  host_.reset();
  return true;
}

bool Application::FreeStore() {
  if (!store_) return false;
  downloads_record_.reset();
  contact_directory_.reset();
  store_.reset();
  return true;
}

// The levels the calls left, the password timing, then the settings file.
bool Application::SaveSettingsStep() {
  if (!passwords_) return false;
  if (hooks_.audio_levels) hooks_.audio_levels(settings_);
  settings_.Time = passwords_->Time();
  settings_.Remember = passwords_->Remember();
  errno = 0;
  if (!SaveSettings(settings_, paths_, [this](PasswordBytes& out) { return passwords_->GetPassword(out); })) {
    const int error = errno;
    LogEvent("Main", "Can't save the settings file " + paths_.settings_file + ": " +
                         (error != 0 ? std::strerror(error) : "it could not be read, so it is kept as it is"));
  }
  return true;
}

bool Application::RemovePortMapping() {
  if (!upnp_) return false;
  RemovePortMappingAtExit(settings_, mapping_, *upnp_);
  upnp_.reset();
  return true;
}

// The single-instance lock goes with the rest of the run.
bool Application::WipeSecrets() {
  instance_lock_.reset();
  passwords_.reset();
  ctx_->WipeSecrets();
  return true;
}

bool Application::CloseLogStep() {
  if (!log_created_) return false;
  ui_.CloseWindow(AppWindow::kLog);
  CloseLog();
  log_created_ = false;
  return true;
}

bool Application::ReleaseContext() {
  ctx_.reset();
  return true;
}

}  // namespace orv
