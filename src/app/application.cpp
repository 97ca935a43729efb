#include "app/application.hpp"

#include "app/event_log.hpp"
#include "app/port_mapping_steps.hpp"
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
    if (!acted && &steps == &StartupSteps()) return false;
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

void Application::Bootstrap() {
  if (endpoint_) RestartNetwork(*endpoint_);
  if (dht_) {
    dht_->RequestBootstrap();
    LogEvent("Main", "Bootstrap started");
  }
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
