// The running telephone: the start-up and shutdown of every engine around
// the network endpoint, each in its fixed order, the "Bootstrap" command,
// "Connect to..." and the return from sleep. The desktop program and the
// headless node run the same object; what they show goes through the UI
// port (messages, questions, and the windows the sequences open and close)
// and the hooks below.
#pragma once

#include <cstdint>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_context.hpp"
#include "app/app_network_host.hpp"
#include "app/dispatcher.hpp"
#include "app/held_endpoint.hpp"
#include "app/log_sink.hpp"
#include "app/main_window/app_identity_parts.hpp"
#include "app/main_window/contacts_saver.hpp"
#include "app/main_window/endpoint_peer_directory.hpp"
#include "app/main_window/engine_adapters.hpp"
#include "app/main_window/main_window_controller.hpp"
#include "app/main_window/main_window_inbox.hpp"
#include "app/menu_commands.hpp"
#include "app/password_service.hpp"
#include "app/password_timer.hpp"
#include "app/store_adapters.hpp"
#include "app/ui_port.hpp"
#include "chat/call_voice.hpp"
#include "chat/chat_log.hpp"
#include "chat/conversation_network.hpp"
#include "chat/conversations.hpp"
#include "dht/dht_engine.hpp"
#include "net/endpoint.hpp"
#include "net/payload_sender.hpp"
#include "netsetup/miniupnpc_client.hpp"
#include "netsetup/port_mapping.hpp"
#include "platform/single_instance.hpp"
#include "settings/autostart.hpp"
#include "settings/profile_paths.hpp"
#include "settings/settings.hpp"
#include "settings/settings_file.hpp"
#include "store/contact_store.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {

struct AppOptions {
  std::string profile;  // the profile directory; empty: the default one
  // The program keeps the login autostart entry as `Autostart` says: the
  // desktop program. A headless node leaves the desktop's entry alone.
  bool autostart_entry = false;
};

// What the engines report to, and the program's own parts the sequences
// reach. Each may be null (nothing reported, nothing done). Without a
// dispatcher (the interface thread) the program runs no conversations and
// no main window logic.
struct AppHooks {
  Dispatcher* dispatcher = nullptr;
  TransferEvents* transfer_events = nullptr;
  ConversationEvents* conversation_events = nullptr;
  VoiceProvider* voice = nullptr;
  DhtEvents* dht_events = nullptr;
  MainWindowEvents* main_window_events = nullptr;  // with the prompts: the main window's logic runs
  MainWindowPrompts* main_window_prompts = nullptr;
  IdleTimeSource* idle = nullptr;  // the person's idle time (none: never idle)
  // A user was found by name among the connected peers (any thread).
  std::function<void(const uint32_t* user_id)> user_found;
  // A call to an address ("Connect to...") ended (any thread).
  std::function<void(const ConnectOutcome&)> connect_ended;
  // The audio devices named in the settings are chosen, with the levels.
  std::function<void(const Settings&)> select_audio_devices;
  // The automatic gain switch (`AGC`) for the first open call's voice
  // engine, given after the settings dialog's OK.
  std::function<void(bool on)> automatic_gain;
  // The levels of the speaker and microphone as the calls left them, copied
  // into the settings at shutdown (Volume, MicLevel).
  std::function<void(Settings&)> audio_levels;
  // The router's port mapping client (none: miniupnpc).
  std::function<std::unique_ptr<UpnpClient>()> upnp_client;
  // "&Exit": the program ends (and runs the shutdown).
  std::function<void()> exit;
  // Each step of the start-up and shutdown sequences as it runs, by name.
  std::function<void(std::string_view step)> step;
};

class Application {
 public:
  // `log_sink` gets every log line as well as the log file.
  Application(UiPort& ui, AppOptions options, std::shared_ptr<LogSink> log_sink = nullptr, AppHooks hooks = {});
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The start-up sequence. False when the program cannot run (no secure
  // memory, no profile directory, another copy with the same key): Stop
  // then meets only what was made.
  bool Start();

  // "Bootstrap": drops every session, enables the network, and has the DHT
  // bootstrap. Run once as the loop starts, and whenever the person asks.
  // Without a key or a password the network cannot receive: it stays
  // disabled, the main window's title says why, and the reason is returned.
  NetworkStart Bootstrap();

  // Loads the key file now named by `Key` (settings, "Generate Key"). When
  // it holds another identity, the old key's password is forgotten, the
  // old sessions end and the network and the DHT take the new UserId.
  void UseKeyFile(const std::string& path);

  // "Connect to...": opens a session to the peer at that address, pinging
  // on the handshake's schedule until it stands or is given up (the
  // `connect_ended` hook hears which). False while the network is not enabled.
  bool Connect(uint32_t ipv4, uint16_t port);

  // A command of the main window's menu (interface thread).
  void RunCommand(MenuCommand command);

  // The settings dialog's OK: `settings` replace the live ones and every
  // effect of a changed setting takes place, in the order of
  // ApplyEditedSettings (port mapping, key, log, network file, automatic
  // gain, the settings themselves, audio devices, autostart, execution
  // state, firewall). Interface thread.
  void ApplySettings(const Settings& settings);

  // The computer woke from sleep: the port mapping is made again when
  // EnableUPnP is set. Interface thread.
  void Resumed();

  // The shutdown sequence; harmless when repeated.
  void Stop();

  // What the engines and commands use once Start succeeded (null before).
  NetworkEndpoint* endpoint() { return endpoint_.get(); }
  AppContext* context() { return ctx_.get(); }
  const Settings& settings() const { return settings_; }
  // The settings as the settings dialog edits them: the live record with
  // the password's `Time` and `Remember` as the password prompt left them.
  Settings SettingsToEdit() const;
  const ProfilePaths& paths() const { return paths_; }
  ContactStore* store() { return store_.get(); }
  FileTransferEngine* transfers() { return transfers_.get(); }
  // Interface thread only.
  Conversations* conversations() { return conversations_.get(); }
  DhtEngine* dht() { return dht_.get(); }
  MainWindowController* main_window() { return main_window_.get(); }
  const PortMappingState& port_mapping() const { return mapping_; }

 private:
  struct Step {
    std::string_view name;
    bool (Application::*run)();  // false: the sequence stops here (start-up only)
  };
  static const std::vector<Step>& StartupSteps();
  static const std::vector<Step>& ShutdownSteps();
  bool RunSteps(const std::vector<Step>& steps);

  // application_startup.cpp: one function per start-up step.
  bool CreateContext();
  bool ReadSettings();
  bool OpenLog();
  bool ShowFirstWindow();
  bool LoadKey();
  bool TakeSingleInstance();
  bool MapPort();
  bool CreateDht();
  bool CreateEndpoint();
  bool CreateStore();
  bool CreateTransfers();
  bool CreateConversations();
  bool StartMainTimer();
  bool StartPasswordTimer();
  bool SelectAudioDevices();
  bool LoadNetworkFileStep();
  bool LoadContactsStep();
  bool LoadDownloadsStep();
  bool RefreshSeed();
  bool SetOnline();
  bool CreateToolWindows();
  bool EndSplash();

  // application_shutdown.cpp: one function per shutdown step; each acts
  // only on what exists, and says whether it did anything.
  bool CloseToolWindows();
  bool StopMainTimer();
  bool StopPasswordTimer();
  bool SaveNetworkFileStep();
  bool SignContacts();
  bool SaveDownloadsStep();
  bool RefreshSeedAtExit();
  bool CloseConversations();
  bool StopTransfers();
  bool StopDht();
  bool CloseEndpointStep();
  bool FreeStore();
  bool SaveSettingsStep();
  bool RemovePortMapping();
  bool WipeSecrets();
  bool CloseLogStep();
  bool ReleaseContext();

  // application_settings.cpp: the settings dialog's effects on the program.
  class SettingsEffectsOnApp;
  void ReplaceSettings(const Settings& settings);

  void StartMainWindow();
  void StopMainWindow();
  void SetConsumers();

  UiPort& ui_;
  AppOptions options_;
  std::shared_ptr<LogSink> log_sink_;
  AppHooks hooks_;
  ProfilePaths paths_;
  AutostartEntry autostart_;
  Settings settings_;
  // What the file transfer thread reads of the settings; replaced whole
  // when the settings dialog's OK changes them.
  struct SharedTransferSettings {
    std::mutex mutex;
    TransferSettings value;
  };
  std::shared_ptr<SharedTransferSettings> transfer_settings_ = std::make_shared<SharedTransferSettings>();
  SettingsRead read_;
  std::atomic<bool> started_{false};
  std::atomic<bool> close_requested_{false};  // five refused passwords
  void CloseProgram();
  void GenerateKey();
  bool splash_ = false;
  bool tool_windows_ = false;
  std::unique_ptr<AppContext> ctx_;
  std::unique_ptr<PasswordService> passwords_;
  std::unique_ptr<AppNetworkHost> host_;
  std::unique_ptr<NetworkEndpoint> endpoint_;
  std::unique_ptr<PasswordTimer> timer_;
  std::unique_ptr<InstanceLock> instance_lock_;
  std::unique_ptr<UpnpClient> upnp_;
  PortMappingState mapping_;
  // The engines made before the endpoint send through these once it opens.
  HeldPayloadSender sender_;
  HeldDhtNetwork dht_network_;
  std::unique_ptr<SteadyDhtClock> dht_clock_;
  std::unique_ptr<DhtEngine> dht_;
  std::unique_ptr<ContactStore> store_;
  std::unique_ptr<StoreContactDirectory> contact_directory_;
  std::unique_ptr<StoreDownloadsRecord> downloads_record_;
  std::unique_ptr<FileTransferEngine> transfers_;
  std::unique_ptr<EndpointConversationNetwork> conversation_network_;
  std::unique_ptr<HostChatLogKeys> chat_log_keys_;
  std::unique_ptr<Conversations> conversations_;
  // The main window's logic: contact list, presence, contact commands.
  std::unique_ptr<EndpointPeerDirectory> peer_directory_;
  std::unique_ptr<DhtContactLocator> locator_;
  std::unique_ptr<ConversationsControl> conversation_control_;
  std::unique_ptr<EngineTransferStarter> transfer_starter_;
  NoIdleTime no_idle_;
  std::unique_ptr<AppOwnIdentity> own_identity_;
  std::unique_ptr<AppContactsSigner> signer_;
  std::unique_ptr<ContactsSaver> saver_;
  std::unique_ptr<MainWindowController> main_window_;
  std::unique_ptr<MainWindowInbox> inbox_;
  bool log_created_ = false;
};

}  // namespace orv
