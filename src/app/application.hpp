// One headless ORV node: the start-up and shutdown of the application
// around the network endpoint, in the order the desktop program keeps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/app_context.hpp"
#include "app/app_network_host.hpp"
#include "app/log_sink.hpp"
#include "app/password_service.hpp"
#include "app/password_timer.hpp"
#include "app/ui_port.hpp"
#include "daemon/daemon_options.hpp"
#include "daemon/node_policies.hpp"
#include "net/endpoint.hpp"
#include "net/payload_sender.hpp"
#include "app/store_adapters.hpp"
#include "store/contact_store.hpp"
#include "transfer/file_transfer_engine.hpp"
#include "chat/conversations.hpp"
#include "dht/dht_engine.hpp"
#include "app/main_window/main_window_controller.hpp"
#include "app/main_window/main_window_inbox.hpp"
#include "app/main_window/engine_adapters.hpp"
#include "app/main_window/endpoint_peer_directory.hpp"
#include "app/main_window/app_identity_parts.hpp"
#include "app/main_window/contacts_saver.hpp"
#include "dht/endpoint_dht_network.hpp"
#include <functional>
#include "chat/conversation_network.hpp"
#include "chat/chat_log.hpp"
#include "chat/call_voice.hpp"
#include "app/dispatcher.hpp"
#include "netsetup/miniupnpc_client.hpp"
#include "netsetup/port_mapping.hpp"
#include "platform/single_instance.hpp"
#include "settings/autostart.hpp"
#include "settings/profile_paths.hpp"
#include "settings/settings.hpp"

namespace orv {

// What the node's engines report to: the control interface's event lines.
// Each may be null (nothing reported).
// The dispatcher is the node's interface thread; without it the node runs
// no conversations.
struct NodeHooks {
  Dispatcher* dispatcher = nullptr;
  TransferEvents* transfer_events = nullptr;
  ConversationEvents* conversation_events = nullptr;
  VoiceProvider* voice = nullptr;
  DhtEvents* dht_events = nullptr;
  MainWindowEvents* main_window_events = nullptr;  // with the prompts: the node runs the main window's logic
  MainWindowPrompts* main_window_prompts = nullptr;
  // A user was found by name among the connected peers (any thread).
  std::function<void(const uint32_t* user_id)> user_found;
};

class Node {
 public:
  // `log_sink` gets every log line (the control interface's log events).
  Node(UiPort& ui, DaemonOptions options, std::shared_ptr<LogSink> log_sink = nullptr, NodeHooks hooks = {});
  ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // Start-up: application context, settings (a first run offers to make a
  // key), log (also echoed to stdout), key file, endpoint (asks for the
  // password), password timer, seed file. False when the node cannot run.
  bool Start();

  // "Bootstrap": drops every session and enables the network.
  void Bootstrap();

  // Opens a session to the peer at that address (a ping starts it). False
  // while the network is not enabled.
  bool Connect(uint32_t ipv4, uint16_t port);

  // Shutdown: every connected peer gets "ses_terminate", the settings and
  // the seed file are saved, the secrets wiped, the log closed.
  void Stop();

  // What the engines and command handlers use once Start succeeded (null
  // or empty before).
  NetworkEndpoint* endpoint() { return endpoint_.get(); }
  AppContext* context() { return ctx_.get(); }
  const Settings& settings() const { return settings_; }
  const ProfilePaths& paths() const { return paths_; }
  NodePolicies policies() const { return PoliciesFromSettings(settings_); }
  ContactStore* store() { return store_.get(); }
  FileTransferEngine* transfers() { return transfers_.get(); }
  // Interface thread only.
  Conversations* conversations() { return conversations_.get(); }
  DhtEngine* dht() { return dht_.get(); }
  MainWindowController* main_window() { return main_window_.get(); }

 private:
  void LoadOrMakeKey();
  bool TakeSingleInstance();
  void SaveSettingsNow();
  // node_engines.cpp: the engines above the endpoint and their files.
  void StartEngines();
  void StartConversations();
  void StartDht();
  void StartMainWindow();
  void StopMainWindow();
  void StopEngines();
  void LoadStoreFiles();
  void SaveStoreFiles();

  UiPort& ui_;
  DaemonOptions options_;
  std::shared_ptr<LogSink> log_sink_;
  ProfilePaths paths_;
  AutostartEntry autostart_;
  Settings settings_;
  std::unique_ptr<AppContext> ctx_;
  std::unique_ptr<PasswordService> passwords_;
  std::unique_ptr<AppNetworkHost> host_;
  std::unique_ptr<NetworkEndpoint> endpoint_;
  std::unique_ptr<PasswordTimer> timer_;
  NodeHooks hooks_;
  std::unique_ptr<InstanceLock> instance_lock_;
  std::unique_ptr<MiniupnpcClient> upnp_;
  PortMappingState mapping_;
  std::unique_ptr<ContactStore> store_;
  std::unique_ptr<StoreContactDirectory> contact_directory_;
  std::unique_ptr<StoreDownloadsRecord> downloads_record_;
  std::unique_ptr<EndpointPayloadSender> sender_;
  std::unique_ptr<FileTransferEngine> transfers_;
  std::unique_ptr<EndpointConversationNetwork> conversation_network_;
  std::unique_ptr<HostChatLogKeys> chat_log_keys_;
  std::unique_ptr<Conversations> conversations_;
  std::unique_ptr<EndpointDhtNetwork> dht_network_;
  std::unique_ptr<SteadyDhtClock> dht_clock_;
  std::unique_ptr<DhtEngine> dht_;
  // The main window's logic: contact list, presence, contact commands.
  std::unique_ptr<EndpointPeerDirectory> peer_directory_;
  std::unique_ptr<DhtContactLocator> locator_;
  std::unique_ptr<ConversationsControl> conversation_control_;
  std::unique_ptr<EngineTransferStarter> transfer_starter_;
  NoIdleTime idle_;
  std::unique_ptr<AppOwnIdentity> own_identity_;
  std::unique_ptr<AppContactsSigner> signer_;
  std::unique_ptr<ContactsSaver> saver_;
  std::unique_ptr<MainWindowController> main_window_;
  std::unique_ptr<MainWindowInbox> inbox_;
  bool log_created_ = false;
};

}  // namespace orv
