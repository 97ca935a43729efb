// The steps of the start-up sequence, one function each, in their order.
// A step that returns false stops the start-up.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/application.hpp"
#include "app/event_log.hpp"
#include "app/key_generation.hpp"
#include "app/key_loading.hpp"
#include "app/port_mapping_steps.hpp"
#include "app/settings_report.hpp"
#include "app/settings_views.hpp"
#include "app/settings_startup.hpp"
#include "app/single_instance_startup.hpp"
#include "crypto/random_pool.hpp"
#include "identity/key_file.hpp"
#include "identity/utf16.hpp"
#include "platform/runtime_dir.hpp"
#include "store/contacts.hpp"
#include "store/downloads.hpp"
#include "store/network_file.hpp"

namespace orv {

// Five refused passwords end the run in order: during the start-up the
// remaining steps are skipped (Start fails and the caller runs the
// shutdown); later the program's own exit runs it.
void Application::CloseProgram() {
  close_requested_.store(true);
  if (!started_) return;
  if (hooks_.exit) hooks_.exit();
  else ::kill(::getpid(), SIGTERM);  // the program's main waits for it and then shuts down
}

// The secure memory and the profile directory; without them nothing runs.
bool Application::CreateContext() {
  ctx_ = AppContext::Create(ui_);
  if (!ctx_) {
    ui_.ShowMessage(kTitleFatalError, "Can't allocate secure data memory", MessageIcon::kError);
    return false;
  }
  const ProfileEnvironment env = ProcessProfileEnvironment(options_.profile);
  paths_ = ResolveProfilePaths(env);
  if (!EnsureProfileDirectory(paths_)) {
    ui_.ShowMessage(kTitleFatalError, "Can't create the profile directory " + paths_.profile_dir, MessageIcon::kError);
    return false;
  }
  if (options_.autostart_entry) autostart_ = ProcessAutostartEntry(env, paths_);
  return true;
}

// The settings file (a first run may offer to make a key), and a password
// it remembered.
bool Application::ReadSettings() {
  read_ = LoadSettings(ui_, paths_, autostart_, [this](const std::string& key_file) {
    std::string path = key_file;
    return RunKeyGeneration(ui_, path);
  });
  settings_ = read_.settings;
  passwords_ = std::make_unique<PasswordService>(*ctx_, ui_, [this] { CloseProgram(); });
  passwords_->SetTime(settings_.Time);
  passwords_->SetRemember(settings_.Remember);
  if (!read_.remembered.empty()) passwords_->Cache(read_.remembered);
  return true;
}

// The log window (hidden) opens the log file when EnableLog is set; lines
// are echoed to standard output and to the log sink.
bool Application::OpenLog() {
  LogOptions log;
  log.sink = log_sink_;
  log.ui = &ui_;
  log.echo = stdout;
  CreateLog(std::move(log), settings_);
  log_created_ = true;
  ui_.OpenWindow(AppWindow::kLog, false);
  LogSettingsProblems(read_, paths_);
  return true;
}

bool Application::ShowFirstWindow() {
  splash_ = settings_.ShowSplashWindow;
  ui_.OpenWindow(splash_ ? AppWindow::kSplash : AppWindow::kMain, true);
  return true;
}

// The key file; a profile without one makes a key first.
bool Application::LoadKey() {
  if (!std::filesystem::exists(settings_.Key)) {
    std::string key_file = settings_.Key;
    RunKeyGeneration(ui_, key_file);
  }
  if (LoadUserKey(ui_, *ctx_, settings_.Key))
    LogEvent("Main", "User id: " + UserIdText(ctx_->key().certificate.user_id));
  return true;
}

// One running copy per identity: a second copy with the same key ends and
// asks the first to show itself.
bool Application::TakeSingleInstance() {
  if (!hooks_.dispatcher || !ctx_->key().loaded) return true;
  SingleInstanceStep step =
      RunSingleInstanceStep(ui_, ProcessRuntimeDirectory(), ctx_->key().certificate.user_id, *hooks_.dispatcher,
                            [this] {
                              LogEvent("Main", "Another copy with the same ID was started and has ended");
                              ui_.OpenWindow(AppWindow::kMain, true);
                            });
  instance_lock_ = std::move(step.lock);
  return step.run;
}

bool Application::MapPort() {
  if (hooks_.upnp_client) upnp_ = hooks_.upnp_client();
  if (!upnp_) upnp_ = std::make_unique<MiniupnpcClient>();
  MapPortWhenEnabled(ui_, settings_, mapping_, *upnp_);
  return true;
}

// The DHT engine with the local node: the own UserId at 127.0.0.1 and the
// configured port. It sends nothing until the endpoint exists.
bool Application::CreateDht() {
  const KeyRecord& key = ctx_->key();
  DhtSetup setup;
  if (key.loaded) {
    CopyUserId(setup.own.user_id, key.certificate.user_id);
    setup.user_info = LeBytesToUtf16(key.certificate.info, key.certificate.info_length);
  }
  setup.own.ipv4 = 0x7f000001;
  setup.own.port = static_cast<uint16_t>(settings_.LocalPort);
  dht_clock_ = std::make_unique<SteadyDhtClock>();
  setup.sender = &sender_;
  setup.network = &dht_network_;
  setup.clock = dht_clock_.get();
  setup.events = hooks_.dht_events;
  dht_ = std::make_unique<DhtEngine>(setup);
  dht_->StartThread();
  return true;
}

// The UDP endpoint: with a key it asks for the password and starts its
// threads; the network stays disabled until "Bootstrap".
bool Application::CreateEndpoint() {
  host_ = std::make_unique<AppNetworkHost>(*ctx_, ui_, *passwords_, [this](const uint32_t* id) {
    LogEvent("Main", "User found: " + UserIdText(id));
    if (hooks_.user_found) hooks_.user_found(id);
  });
  host_->SetConnectEndedHandler([this](const ConnectOutcome& outcome) {
    if (!outcome.established)
      LogEvent("Main", "Can't connect to " + AddressText(outcome.ipv4, outcome.port) + ": " + outcome.reason);
    if (hooks_.connect_ended) hooks_.connect_ended(outcome);
  });
  EndpointConfig config;
  config.local_port = settings_.LocalPort;
  endpoint_ = OpenEndpoint(*host_, config);
  sender_.Attach(endpoint_.get());
  dht_network_.Attach(endpoint_.get());
  LogEvent("Main", "Listening on UDP port " + std::to_string(EndpointPort(*endpoint_)));
  return true;
}

bool Application::CreateStore() {
  store_ = std::make_unique<ContactStore>(SystemFileTime,
                                          [](std::string_view source, std::string_view text) { LogEvent(source, text); });
  contact_directory_ = std::make_unique<StoreContactDirectory>(*store_);
  downloads_record_ = std::make_unique<StoreDownloadsRecord>(*store_);
  dht_->SetContactObserver(store_.get());
  return true;
}

bool Application::CreateTransfers() {
  TransferServices services;
  services.sender = &sender_;
  services.events = hooks_.transfer_events;
  services.downloads = downloads_record_.get();
  services.contacts = contact_directory_.get();
  // A copy: the transfer thread reads it while the interface thread owns
  // the settings (and replaces it after the settings dialog).
  {
    std::lock_guard<std::mutex> hold(transfer_settings_->mutex);
    transfer_settings_->value = TransferSettingsOf(settings_);
  }
  services.settings = [shared = transfer_settings_] {
    std::lock_guard<std::mutex> hold(shared->mutex);
    return shared->value;
  };
  NetworkEndpoint* endpoint = endpoint_.get();
  services.peer_name = [endpoint](const PeerRef& peer) { return GetPeerName(*endpoint, peer.user_id); };
  transfers_ = std::make_unique<FileTransferEngine>(services);
  return true;
}

// The chat table, and from here on the endpoint hands what arrives to the
// engines.
bool Application::CreateConversations() {
  if (hooks_.dispatcher) {
    conversation_network_ = std::make_unique<EndpointConversationNetwork>(*endpoint_);
    chat_log_keys_ = std::make_unique<HostChatLogKeys>(*host_);
    ConversationServices services;
    services.dispatcher = hooks_.dispatcher;
    services.sender = &sender_;
    services.events = hooks_.conversation_events;
    services.network = conversation_network_.get();
    services.contacts = contact_directory_.get();
    services.voice = hooks_.voice;
    services.log_keys = chat_log_keys_.get();
    DhtEngine* dht = dht_.get();
    services.locate = [dht](const uint32_t* user_id, PeerRef& out) { return dht->LocateUser(user_id, &out); };
    conversations_ = std::make_unique<Conversations>(services, ConversationSettingsOf(settings_, paths_));
  }
  SetConsumers();
  return true;
}

void Application::SetConsumers() {
  NetworkConsumers consumers;
  consumers.dht_nodes = dht_.get();
  consumers.dht_messages = dht_.get();
  consumers.contacts = store_.get();
  consumers.transfers = transfers_.get();
  consumers.conversations = conversations_.get();
  SetNetworkConsumers(*endpoint_, consumers);
}

// The one-second main tick of the contact list.
bool Application::StartMainTimer() {
  StartMainWindow();
  return true;
}

bool Application::StartPasswordTimer() {
  timer_ = std::make_unique<PasswordTimer>(*passwords_);
  return true;
}

bool Application::SelectAudioDevices() {
  if (hooks_.select_audio_devices) hooks_.select_audio_devices(settings_);
  return true;
}

bool Application::LoadNetworkFileStep() {
  DhtEngine* dht = dht_.get();
  LoadNetworkFile(
      *store_, [dht](const PeerRef& node) { dht->NoteDhtNode(node, false, nullptr); }, settings_.Users);
  return true;
}

// A contacts file whose signature does not verify loses every
// authorization for this run.
bool Application::LoadContactsStep() {
  const KeyRecord& key = ctx_->key();
  if (!key.loaded) return true;
  const ContactsStartup contacts = LoadContactsAtStartup(*store_, settings_.Likes, key.certificate);
  if (contacts.warning) ui_.ShowMessage(kTitleWarning, *contacts.warning, MessageIcon::kWarning);
  return true;
}

bool Application::LoadDownloadsStep() {
  const KeyRecord& key = ctx_->key();
  if (!key.loaded) return true;
  PasswordBytes password;
  if (passwords_->GetPassword(password))
    LoadDownloads(*store_, settings_.Downloads, key, password.data(), password.size());
  return true;
}

bool Application::RefreshSeed() {
  SeedFileRefresh(settings_.Seed);
  return true;
}

bool Application::SetOnline() {
  if (main_window_) main_window_->CommandOnline();
  else if (endpoint_) SetAway(*endpoint_, false);
  return true;
}

bool Application::CreateToolWindows() {
  tool_windows_ = true;
  ui_.OpenWindow(AppWindow::kNetwork, false);
  ui_.OpenWindow(AppWindow::kKademlia, false);
  ui_.OpenWindow(AppWindow::kDownloads, false);
  return true;
}

// The splash gives way to the main window.
bool Application::EndSplash() {
  if (!splash_) return true;
  ui_.CloseWindow(AppWindow::kSplash);
  ui_.OpenWindow(AppWindow::kMain, true);
  splash_ = false;
  return true;
}

void Application::StartMainWindow() {
  if (!conversations_ || !hooks_.main_window_events || !hooks_.main_window_prompts) return;
  peer_directory_ = std::make_unique<EndpointPeerDirectory>(*endpoint_);
  locator_ = std::make_unique<DhtContactLocator>(*dht_);
  conversation_control_ = std::make_unique<ConversationsControl>(*conversations_);
  transfer_starter_ = std::make_unique<EngineTransferStarter>(*transfers_);
  own_identity_ = std::make_unique<AppOwnIdentity>(*ctx_, [this] { return mapping_.external_address.load(); });
  signer_ = std::make_unique<AppContactsSigner>(*ctx_, *passwords_);
  saver_ = std::make_unique<ContactsSaver>(*store_, *signer_);
  IdleTimeSource& idle = hooks_.idle ? *hooks_.idle : static_cast<IdleTimeSource&>(no_idle_);
  main_window_ = std::make_unique<MainWindowController>(MainWindowParts{
      settings_, *store_, ui_, *hooks_.main_window_events, *hooks_.main_window_prompts, *peer_directory_, sender_,
      *locator_, *conversation_control_, *transfer_starter_, idle, *own_identity_, *saver_});
  inbox_ = std::make_unique<MainWindowInbox>(*hooks_.dispatcher, *main_window_);
  inbox_->StartMainTimer();
}

}  // namespace orv
