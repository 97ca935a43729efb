#include "gui/desktop_program.hpp"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "app/event_log.hpp"
#include "audio/tone_player.hpp"
#include "gui/logind_bus.hpp"
#include "gui/resume_watch.hpp"
#include "gui/settings_dialog.hpp"
#include "gui/stop_signals.hpp"

namespace orv {
namespace {

// The voice of the calls on the sound card; without one the program runs
// without voice and says so once.
std::unique_ptr<AudioVoiceProvider> MakeVoice() {
  VoiceOptions options;
  options.backend = "pa";
  std::string error;
  std::unique_ptr<AudioVoiceProvider> voice = CreateVoiceProvider(options, error);
  if (!voice) std::fprintf(stderr, "orv: no voice: %s\n", error.c_str());
  return voice;
}

}  // namespace

DesktopProgram::DesktopProgram(const OrvOptions& options)
    : options_(options),
      voice_(MakeVoice()),
      window_(WindowActions()),
      notifier_(MakeFreedesktopNotifications(),
                [this](const DesktopNotice& notice) {
                  return window_.ShowTrayMessage(QString::fromStdString(notice.summary),
                                                 QString::fromStdString(notice.body));
                }),
      notify_([this](const DesktopNotice& notice) { notifier_.Notify(notice); }),
      chats_(ChatServices()),
      log_sink_(std::make_shared<QueuedLogSink>(dispatcher_)),
      log_link_(*log_sink_, log_window_),
      downloads_([this] { return node_ ? node_->store() : nullptr; }, shell_),
      transfers_(TransferServices()),
      idle_(SelectIdleTimeSource(DesktopIdleCandidates())),
      tool_engines_(ToolEngines()),
      tool_sources_(tool_engines_),
      tool_commands_(tool_engines_),
      tools_(tool_sources_, tool_commands_) {
  ui_.SetWindowHost(&window_);
  AttachToolWindows();
}

DesktopProgram::~DesktopProgram() = default;

MainWindowActions DesktopProgram::WindowActions() {
  return MainWindowActions{[this](MenuCommand command) {
                             if (node_) node_->RunCommand(command);
                           },
                           [this](uint32_t ipv4, uint16_t port) {
                             if (MainWindowController* c = controller()) c->ConnectTo(ipv4, port);
                             // Pings until a session stands there; the chat
                             // window's status says so when none comes.
                             if (node_) node_->Connect(ipv4, port);
                           }};
}

ChatWindowServices DesktopProgram::ChatServices() {
  return ChatWindowServices{
      [this] { return node_ ? node_->conversations() : nullptr; },
      [this](const PeerRef& requester) {
        if (MainWindowController* c = controller()) c->ConnectionRequestArrived(requester);
      },
      [this] {
        if (!window_.isVisible()) window_.ShowAndRaise();
        QApplication::alert(&window_);
      },
      [this](const PeerRef& peer) {
        if (MainWindowController* c = controller()) c->SendFile(peer);
      },
      [this](const PeerRef& peer) {
        if (MainWindowController* c = controller()) c->AddContact(peer);
      },
      [this](Tone tone) -> std::unique_ptr<TonePlayer> {
        if (!voice_ || !node_) return nullptr;
        const int32_t volume = node_->settings().RingVolume;
        return voice_->StartTone(tone == Tone::kDial ? "waveDial" : "waveRing",
                                 static_cast<uint16_t>(volume < 0 ? 0 : volume));
      },
      notify_};
}

// The progress windows; a recorded reception refreshes the downloads window
// (and shows it with AutoReceiveFiles).
FileTransferServices DesktopProgram::TransferServices() {
  return FileTransferServices{&dispatcher_,
                              [this] { return node_ ? node_->transfers() : nullptr; },
                              nullptr,
                              nullptr,
                              [this](bool show) { downloads_.DownloadsChanged(show); },
                              notify_};
}

// "Network List", "Kademlia List" and "Find user" read the engines.
ToolListEngines DesktopProgram::ToolEngines() {
  return ToolListEngines{[this] { return node_ ? node_->endpoint() : nullptr; },
                         [this] { return node_ ? node_->dht() : nullptr; },
                         [this] { return node_ ? node_->store() : nullptr; },
                         [this] { return controller(); },
                         [this] { return node_ ? node_->conversations() : nullptr; }};
}

void DesktopProgram::AttachToolWindows() {
  window_.SetToolWindow(AppWindow::kLog, &log_window_);
  window_.SetToolWindow(AppWindow::kDownloads, &downloads_);
  window_.SetToolWindow(AppWindow::kNetwork, tools_.network_tool());
  window_.SetToolWindow(AppWindow::kKademlia, tools_.kademlia_tool());
  window_.SetToolWindow(AppWindow::kFind, tools_.find_tool());
}

AppHooks DesktopProgram::Hooks() {
  AppHooks hooks;
  hooks.dispatcher = &dispatcher_;
  hooks.transfer_events = &transfers_;
  hooks.conversation_events = &chats_;
  hooks.voice = voice_.get();
  hooks.main_window_events = &window_;
  hooks.main_window_prompts = &window_;
  hooks.idle = idle_.source.get();
  // exit rather than quit: quit asks the windows to close first, and the
  // main window only hides itself in the tray.
  // From any thread (five refused passwords end the run from a handshake
  // worker's prompt): the exit is queued to the event loop, which then ends
  // and the shutdown runs.
  hooks.exit = [] { QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection); };
  hooks.user_found = [this](const uint32_t* id) {
    std::array<uint32_t, kUserIdWords> copy;
    std::copy(id, id + kUserIdWords, copy.begin());
    dispatcher_.Post([this, copy] {
      if (MainWindowController* c = controller()) c->UserFound(copy.data());
    });
  };
  AddAudioHooks(hooks);
  return hooks;
}

// The levels the chat windows' sliders start from, and leave in the
// settings at the end.
void DesktopProgram::AddAudioHooks(AppHooks& hooks) {
  hooks.select_audio_devices = [this](const Settings& settings) {
    chats_.SetCurrentLevels(settings.Volume, settings.MicLevel);
    if (!voice_) return;
    voice_->SelectAudioDevices(settings);
    voice_->SetAutomaticGain(settings.AGC);
  };
  hooks.automatic_gain = [this](bool on) {
    if (voice_) voice_->SetAutomaticGain(on);
  };
  hooks.audio_levels = [this](Settings& settings) {
    settings.Volume = chats_.volume();
    settings.MicLevel = chats_.mic_level();
  };
}

void DesktopProgram::AttachSettingsDialog() {
  window_.SetSettingsDialog([this](QWidget* owner) {
    SettingsDialogServices services;
    if (voice_) services.audio = voice_->shared_backend();
    services.automatic_gain_click = [this](bool on) {
      if (voice_) voice_->SetFirstCallAutomaticGain(on);
    };
    services.apply = [this](const Settings& settings) { application_->ApplySettings(settings); };
    RunSettingsDialog(owner, application_->SettingsToEdit(), std::move(services));
  });
}

int DesktopProgram::Run(QApplication& app) {
  application_ = std::make_unique<Application>(ui_, AppOptions{options_.profile, true}, log_sink_, Hooks());
  node_ = application_.get();
  if (!application_->Start()) return StartFailed();
  window_.SetController(application_->main_window());
  LogEvent("Main", idle_.report);
  AttachSettingsDialog();
  // The return from sleep: logind's signal, or the clocks without it.
  LogindSleepSignal logind;
  std::optional<ResumeWatch> resume;
  resume.emplace(dispatcher_, &logind, [this] { application_->Resumed(); });
  StopSignals stop_signals([] { QCoreApplication::exit(0); });
  // The first thing the event loop does: the network is enabled and the
  // DHT bootstraps.
  dispatcher_.Post([this] { application_->Bootstrap(); });

  const int status = app.exec();
  resume.reset();
  Finish();
  return status;
}

int DesktopProgram::StartFailed() {
  const std::string reason = ui_.last_message();
  ui_.StopAsking();
  application_->Stop();
  std::fprintf(stderr, "orv: %s\n", reason.empty() ? "the start-up failed" : reason.c_str());
  return 1;
}

// Workers still waiting for a dialog are let go, so that the shutdown can
// join them; the window no longer forwards anything.
void DesktopProgram::Finish() {
  ui_.StopAsking();
  window_.SetController(nullptr);
  window_.SetSettingsDialog(nullptr);
  application_->Stop();
  dispatcher_.Shutdown();
  ui_.SetWindowHost(nullptr);
  node_ = nullptr;
}

}  // namespace orv
