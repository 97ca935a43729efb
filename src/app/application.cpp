#include "daemon/node.hpp"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/event_log.hpp"
#include "app/key_generation.hpp"
#include "app/key_loading.hpp"
#include "app/settings_startup.hpp"
#include "app/settings_report.hpp"
#include "app/single_instance_startup.hpp"
#include "app/port_mapping_steps.hpp"
#include "platform/runtime_dir.hpp"
#include "crypto/random_pool.hpp"
#include "identity/key_file.hpp"
#include "net/peer_ref.hpp"

namespace orv {
namespace {

// Ends the run the way a signal does: main waits for SIGINT and SIGTERM.
void CloseProgram() { ::kill(::getpid(), SIGTERM); }

}  // namespace

Node::Node(UiPort& ui, DaemonOptions options, std::shared_ptr<LogSink> log_sink, NodeHooks hooks)
    : ui_(ui), options_(std::move(options)), log_sink_(std::move(log_sink)), hooks_(hooks) {}

Node::~Node() { Stop(); }

bool Node::Start() {
  ctx_ = AppContext::Create(ui_);
  if (!ctx_) {
    ui_.ShowMessage(kTitleFatalError, "Can't allocate secure data memory", MessageIcon::kError);
    return false;
  }
  const ProfileEnvironment env = ProcessProfileEnvironment(options_.profile);
  paths_ = ResolveProfilePaths(env);
  if (!EnsureProfileDirectory(paths_)) {
    ui_.ShowMessage(kTitleFatalError, "Can't create the profile directory " + paths_.profile_dir,
                    MessageIcon::kError);
    return false;
  }
  autostart_ = ProcessAutostartEntry(env, paths_);
  SettingsRead read = LoadSettings(ui_, paths_, autostart_, [this](const std::string& key_file) {
    std::string path = key_file;
    return RunKeyGeneration(ui_, path);
  });
  settings_ = read.settings;
  passwords_ = std::make_unique<PasswordService>(*ctx_, ui_, CloseProgram);
  passwords_->SetTime(settings_.Time);
  passwords_->SetRemember(settings_.Remember);
  if (!read.remembered.empty()) passwords_->Cache(read.remembered);

  LogOptions log;
  log.sink = log_sink_;
  log.ui = &ui_;
  log.echo = stdout;
  CreateLog(std::move(log), settings_);
  log_created_ = true;
  LogSettingsProblems(read, paths_);

  LoadOrMakeKey();
  if (!TakeSingleInstance()) return false;
  upnp_ = std::make_unique<MiniupnpcClient>();
  MapPortWhenEnabled(ui_, settings_, mapping_, *upnp_);
  host_ = std::make_unique<AppNetworkHost>(*ctx_, ui_, *passwords_, [this](const uint32_t* id) {
    LogEvent("Main", "User found: " + UserIdText(id));
    if (hooks_.user_found) hooks_.user_found(id);
  });
  EndpointConfig config;
  config.local_port = settings_.LocalPort;
  endpoint_ = OpenEndpoint(*host_, config);
  LogEvent("Main", "Listening on UDP port " + std::to_string(EndpointPort(*endpoint_)));
  StartEngines();
  timer_ = std::make_unique<PasswordTimer>(*passwords_);
  LoadStoreFiles();
  SeedFileRefresh(settings_.Seed);
  return true;
}

// One running copy per identity: a second node with the same key ends and
// asks the first to show itself.
bool Node::TakeSingleInstance() {
  if (!hooks_.dispatcher || !ctx_->key().loaded) return true;
  SingleInstanceStep step =
      RunSingleInstanceStep(ui_, ProcessRuntimeDirectory(), ctx_->key().certificate.user_id, *hooks_.dispatcher,
                            [] { LogEvent("Main", "Another copy with the same ID was started and has ended"); });
  instance_lock_ = std::move(step.lock);
  return step.run;
}

void Node::LoadOrMakeKey() {
  if (!std::filesystem::exists(settings_.Key)) {
    std::string key_file = settings_.Key;
    RunKeyGeneration(ui_, key_file);
  }
  if (LoadUserKey(ui_, *ctx_, settings_.Key))
    LogEvent("Main", "User id: " + UserIdText(ctx_->key().certificate.user_id));
}

void Node::Bootstrap() {
  if (endpoint_) RestartNetwork(*endpoint_);
  if (dht_) {
    dht_->RequestBootstrap();
    LogEvent("Main", "Bootstrap started");
  }
}

bool Node::Connect(uint32_t ipv4, uint16_t port) {
  if (!endpoint_ || !endpoint_->enabled.load()) return false;
  PeerRef target;
  target.ipv4 = ipv4;
  target.port = port;
  // A "dht_ping": without a session it only starts one.
  const uint8_t ping[4] = {1, 0, 0, 0};
  SendRequest request;
  request.target = &target;
  request.inner_type = 0;
  request.data = ping;
  request.length = sizeof ping;
  SendToPeer(*endpoint_, request);
  LogEvent("Main", "Connecting to " + AddressText(ipv4, port));
  return true;
}

void Node::SaveSettingsNow() {
  settings_.Time = passwords_->Time();
  settings_.Remember = passwords_->Remember();
  SaveSettings(settings_, paths_, [this](PasswordBytes& out) { return passwords_->GetPassword(out) != 0; });
}

void Node::Stop() {
  if (!ctx_) return;
  timer_.reset();
  SaveStoreFiles();
  SeedFileRefresh(settings_.Seed);
  StopEngines();
  if (endpoint_) CloseEndpoint(*endpoint_);
  endpoint_.reset();
  store_.reset();
  host_.reset();
  if (passwords_) SaveSettingsNow();
  if (upnp_) RemovePortMappingAtExit(settings_, mapping_, *upnp_);
  upnp_.reset();
  instance_lock_.reset();
  passwords_.reset();
  ctx_->WipeSecrets();
  if (log_created_) CloseLog();
  log_created_ = false;
  ctx_.reset();
}

}  // namespace orv
