#include "app/application.hpp"

#include "app/event_log.hpp"
#include "app/key_loading.hpp"
#include "app/port_mapping_steps.hpp"
#include "identity/key_file.hpp"
#include "identity/password_cache.hpp"
#include "identity/utf16.hpp"
#include "net/address_call.hpp"
#include "net/peer_ref.hpp"

namespace orv {

Application::Application(UiPort& ui, AppOptions options, std::shared_ptr<LogSink> log_sink, AppHooks hooks)
    : ui_(ui), options_(std::move(options)), log_sink_(std::move(log_sink)), hooks_(std::move(hooks)) {}

Application::~Application() { Stop(); }

// The start-up order: later steps rely on earlier ones.
const std::vector<Application::Step>& Application::StartupSteps() {
  static const std::vector<Step> steps = {
      {"context", &Application::CreateContext},
      {"settings", &Application::ReadSettings},
      {"log", &Application::OpenLog},
      {"first window", &Application::ShowFirstWindow},
      {"key", &Application::LoadKey},
      {"single instance", &Application::TakeSingleInstance},
      {"port mapping", &Application::MapPort},
      {"dht", &Application::CreateDht},
      {"endpoint", &Application::CreateEndpoint},
      {"contact store", &Application::CreateStore},
      {"file transfer", &Application::CreateTransfers},
      {"conversations", &Application::CreateConversations},
      {"main timer", &Application::StartMainTimer},
      {"password timer", &Application::StartPasswordTimer},
      {"audio devices", &Application::SelectAudioDevices},
      {"network file", &Application::LoadNetworkFileStep},
      {"contacts", &Application::LoadContactsStep},
      {"downloads", &Application::LoadDownloadsStep},
      {"seed", &Application::RefreshSeed},
      {"online", &Application::SetOnline},
      {"tool windows", &Application::CreateToolWindows},
      {"splash end", &Application::EndSplash},
  };
  return steps;
}

// The shutdown order: every step meets only what start-up made.
const std::vector<Application::Step>& Application::ShutdownSteps() {
  static const std::vector<Step> steps = {
      {"tool windows", &Application::CloseToolWindows},
      {"main timer", &Application::StopMainTimer},
      {"password timer", &Application::StopPasswordTimer},
      {"network file", &Application::SaveNetworkFileStep},
      {"contacts signature", &Application::SignContacts},
      {"downloads", &Application::SaveDownloadsStep},
      {"seed", &Application::RefreshSeedAtExit},
      {"conversations", &Application::CloseConversations},
      {"file transfer", &Application::StopTransfers},
      {"dht", &Application::StopDht},
      {"endpoint", &Application::CloseEndpointStep},
      {"contact store", &Application::FreeStore},
      {"settings", &Application::SaveSettingsStep},
      {"port mapping", &Application::RemovePortMapping},
      {"secrets", &Application::WipeSecrets},
      {"log", &Application::CloseLogStep},
      {"context", &Application::ReleaseContext},
  };
  return steps;
}

// Start-up: runs each step in turn and stops at the first that fails.
// Shutdown: runs every step; `step` hears of those that acted.
bool Application::RunSteps(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    const bool acted = (this->*step.run)();
    if (acted && hooks_.step) hooks_.step(step.name);
    if (&steps != &StartupSteps()) continue;
    if (!acted || close_requested_.load()) return false;
  }
  return true;
}

bool Application::Start() {
  if (started_) return true;
  started_ = RunSteps(StartupSteps());
  return started_;
}

void Application::Stop() {
  if (!ctx_) return;
  RunSteps(ShutdownSteps());
  started_ = false;
}

NetworkStart Application::Bootstrap() {
  const NetworkStart start = endpoint_ ? RestartNetwork(*endpoint_) : NetworkStart::kNoSocket;
  if (main_window_) main_window_->SetNetworkProblem(NetworkProblemText(start));
  if (start != NetworkStart::kListening) {
    LogEvent("Main", "Not connected: " + std::string(NetworkProblemText(start)));
    return start;
  }
  if (dht_) {
    dht_->RequestBootstrap();
    LogEvent("Main", "Bootstrap started");
  }
  return start;
}

void Application::UseKeyFile(const std::string& path) {
  uint32_t before[kUserIdWords] = {};
  CopyUserId(before, ctx_->key().certificate.user_id);
  const bool had_key = ctx_->key().loaded;
  if (!LoadUserKey(ui_, *ctx_, path)) return;
  const KeyRecord& key = ctx_->key();
  if (had_key && SameUserId(before, key.certificate.user_id)) return;
  {
    std::lock_guard<std::mutex> lock(ctx_->app_lock());
    ForgetPassword(ctx_->cache());  // the old key's password opens nothing now
  }
  LogEvent("Main", "User id: " + UserIdText(key.certificate.user_id));
  if (dht_)
    dht_->AdoptIdentity(key.certificate.user_id, LeBytesToUtf16(key.certificate.info, key.certificate.info_length));
  if (started_) Bootstrap();
}

bool Application::Connect(uint32_t ipv4, uint16_t port) {
  if (!endpoint_ || !endpoint_->enabled.load()) return false;
  if (!ConnectByAddress(*endpoint_, ipv4, port)) return false;
  LogEvent("Main", "Connecting to " + AddressText(ipv4, port));
  return true;
}

void Application::Resumed() {
  if (!started_ || !upnp_) return;
  LogEvent("Main", "Resumed from sleep");
  MapPortWhenEnabled(ui_, settings_, mapping_, *upnp_);
}

}  // namespace orv
