// orv: the ORV Telephone desktop program. It runs the same core as the
// headless node orvd, with the Qt main thread as the interface thread: the
// start-up sequence, the "Bootstrap" as the event loop starts, the main
// window with its menus and tray icon, and the shutdown sequence when the
// person chooses "Exit" (or the program gets SIGINT or SIGTERM).
#include <QApplication>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application.hpp"
#include "app/tool_lists/engine_tool_lists.hpp"
#include "audio/tone_player.hpp"
#include "audio/voice_provider.hpp"
#include "app/event_log.hpp"
#include "app/queued_log_sink.hpp"
#include "gui/chat_windows.hpp"
#include "gui/desktop_notifier.hpp"
#include "gui/desktop_shell.hpp"
#include "gui/downloads_window.hpp"
#include "gui/file_transfer_windows.hpp"
#include "gui/idle_time_sources.hpp"
#include "gui/log_window.hpp"
#include "gui/logind_bus.hpp"
#include "gui/main_window.hpp"
#include "gui/orv_options.hpp"
#include "gui/qt_dispatcher.hpp"
#include "gui/resume_watch.hpp"
#include "gui/settings_dialog.hpp"
#include "gui/stop_signals.hpp"
#include "gui/tool_windows.hpp"
#include "gui/widget_ui_port.hpp"

namespace {

// The voice of the calls on the sound card; without one the program runs
// without voice and says so once.
std::unique_ptr<orv::AudioVoiceProvider> MakeVoice() {
  orv::VoiceOptions options;
  options.backend = "pa";
  std::string error;
  std::unique_ptr<orv::AudioVoiceProvider> voice = orv::CreateVoiceProvider(options, error);
  if (!voice) std::fprintf(stderr, "orv: no voice: %s\n", error.c_str());
  return voice;
}

int RunProgram(QApplication& app, const orv::OrvOptions& options) {
  orv::WidgetUiPort ui;
  orv::QtDispatcher dispatcher;
  std::unique_ptr<orv::AudioVoiceProvider> voice = MakeVoice();
  orv::Application* node = nullptr;  // set once it exists
  orv::MainWindow window(orv::MainWindowActions{
      [&node](orv::MenuCommand command) {
        if (node) node->RunCommand(command);
      },
      [&node](uint32_t ipv4, uint16_t port) {
        if (orv::MainWindowController* controller = node ? node->main_window() : nullptr)
          controller->ConnectTo(ipv4, port);
      }});
  ui.SetWindowHost(&window);
  orv::DesktopNotifier notifier(orv::MakeFreedesktopNotifications(), [&window](const orv::DesktopNotice& notice) {
    return window.ShowTrayMessage(QString::fromStdString(notice.summary), QString::fromStdString(notice.body));
  });
  const orv::NotifyFunction notify = [&notifier](const orv::DesktopNotice& notice) { notifier.Notify(notice); };
  orv::ChatWindows chats(orv::ChatWindowServices{
      [&node] { return node ? node->conversations() : nullptr; },
      [&node](const orv::PeerRef& requester) {
        if (orv::MainWindowController* controller = node ? node->main_window() : nullptr)
          controller->ConnectionRequestArrived(requester);
      },
      [&window] {
        if (!window.isVisible()) window.ShowAndRaise();
        QApplication::alert(&window);
      },
      [&node](const orv::PeerRef& peer) {
        if (orv::MainWindowController* controller = node ? node->main_window() : nullptr) controller->SendFile(peer);
      },
      [&node](const orv::PeerRef& peer) {
        if (orv::MainWindowController* controller = node ? node->main_window() : nullptr) controller->AddContact(peer);
      },
      [&voice, &node](orv::Tone tone) -> std::unique_ptr<orv::TonePlayer> {
        if (!voice || !node) return nullptr;
        const int32_t volume = node->settings().RingVolume;
        return voice->StartTone(tone == orv::Tone::kDial ? "waveDial" : "waveRing",
                                static_cast<uint16_t>(volume < 0 ? 0 : volume));
      },
      notify});

  // The tool windows. The log's rows reach its window from the moment the
  // log starts: the window is there before the start-up begins.
  orv::LogWindow log_window;
  const auto log_sink = std::make_shared<orv::QueuedLogSink>(dispatcher);
  orv::LogViewLink log_link(*log_sink, log_window);
  orv::QtDesktopShell shell;
  orv::DownloadsWindow downloads([&node] { return node ? node->store() : nullptr; }, shell);
  window.SetToolWindow(orv::AppWindow::kLog, &log_window);
  window.SetToolWindow(orv::AppWindow::kDownloads, &downloads);

  // The progress windows; a recorded reception refreshes the downloads
  // window (and shows it with AutoReceiveFiles).
  orv::FileTransferWindows transfers(orv::FileTransferServices{
      &dispatcher, [&node] { return node ? node->transfers() : nullptr; }, nullptr, nullptr,
      [&downloads](bool show) { downloads.DownloadsChanged(show); },
      notify});
  // The person's idle time for the automatic away.
  orv::IdleChoice idle = orv::SelectIdleTimeSource(orv::DesktopIdleCandidates());

  // "Network List", "Kademlia List" and "Find user" over the engines.
  const orv::ToolListEngines tool_engines{
      [&node] { return node ? node->endpoint() : nullptr; },
      [&node] { return node ? node->dht() : nullptr; },
      [&node] { return node ? node->store() : nullptr; },
      [&node] { return node ? node->main_window() : nullptr; },
      [&node] { return node ? node->conversations() : nullptr; }};
  orv::EngineToolListSources tool_sources(tool_engines);
  orv::EngineToolListCommands tool_commands(tool_engines);
  orv::ToolWindows tools(tool_sources, tool_commands);
  window.SetToolWindow(orv::AppWindow::kNetwork, tools.network_tool());
  window.SetToolWindow(orv::AppWindow::kKademlia, tools.kademlia_tool());
  window.SetToolWindow(orv::AppWindow::kFind, tools.find_tool());

  orv::AppHooks hooks;
  hooks.dispatcher = &dispatcher;
  hooks.transfer_events = &transfers;
  hooks.conversation_events = &chats;
  hooks.voice = voice.get();
  hooks.main_window_events = &window;
  hooks.main_window_prompts = &window;
  hooks.idle = idle.source.get();
  // exit rather than quit: quit asks the windows to close first, and the
  // main window only hides itself in the tray.
  hooks.exit = [] { QCoreApplication::exit(0); };
  hooks.user_found = [&dispatcher, &node](const uint32_t* id) {
    std::array<uint32_t, orv::kUserIdWords> copy;
    std::copy(id, id + orv::kUserIdWords, copy.begin());
    dispatcher.Post([&node, copy] {
      if (orv::MainWindowController* controller = node ? node->main_window() : nullptr)
        controller->UserFound(copy.data());
    });
  };
  // The levels the chat windows' sliders start from, and leave in the
  // settings at the end.
  hooks.select_audio_devices = [&voice, &chats](const orv::Settings& settings) {
    chats.SetCurrentLevels(settings.Volume, settings.MicLevel);
    if (!voice) return;
    voice->SelectAudioDevices(settings);
    voice->SetAutomaticGain(settings.AGC);
  };
  hooks.automatic_gain = [&voice](bool on) {
    if (voice) voice->SetAutomaticGain(on);
  };
  hooks.audio_levels = [&chats](orv::Settings& settings) {
    settings.Volume = chats.volume();
    settings.MicLevel = chats.mic_level();
  };

  orv::Application application(ui, orv::AppOptions{options.profile, true}, log_sink, hooks);
  node = &application;
  if (!application.Start()) {
    const std::string reason = ui.last_message();
    ui.StopAsking();
    application.Stop();
    std::fprintf(stderr, "orv: %s\n", reason.empty() ? "the start-up failed" : reason.c_str());
    return 1;
  }
  window.SetController(application.main_window());
  orv::LogEvent("Main", idle.report);
  window.SetSettingsDialog([&voice, &application](QWidget* owner) {
    orv::SettingsDialogServices services;
    if (voice) services.audio = voice->shared_backend();
    services.automatic_gain_click = [&voice](bool on) {
      if (voice) voice->SetFirstCallAutomaticGain(on);
    };
    services.apply = [&application](const orv::Settings& settings) { application.ApplySettings(settings); };
    orv::RunSettingsDialog(owner, application.SettingsToEdit(), std::move(services));
  });
  // The return from sleep: logind's signal, or the clocks without it.
  orv::LogindSleepSignal logind;
  std::optional<orv::ResumeWatch> resume;
  resume.emplace(dispatcher, &logind, [&application] { application.Resumed(); });
  orv::StopSignals stop_signals([] { QCoreApplication::exit(0); });
  // The first thing the event loop does: the network is enabled and the
  // DHT bootstraps.
  dispatcher.Post([&application] { application.Bootstrap(); });

  const int status = app.exec();

  // Workers still waiting for a dialog are let go, so that the shutdown
  // can join them; the window no longer forwards anything.
  resume.reset();
  ui.StopAsking();
  window.SetController(nullptr);
  window.SetSettingsDialog(nullptr);
  application.Stop();
  dispatcher.Shutdown();
  ui.SetWindowHost(nullptr);
  node = nullptr;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = orv::ParseOrvOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "orv: %s\n%s", error.c_str(), orv::kOrvUsage);
    return 2;
  }
  if (options->help) {
    std::fputs(orv::kOrvUsage, stdout);
    return 0;
  }
  if (!orv::HasDisplay([](const char* name) { return std::getenv(name); })) {
    std::fprintf(stderr,
                 "orv: no display (DISPLAY and WAYLAND_DISPLAY are not set); "
                 "start the headless node instead: orvd --profile DIR (orvd --help)\n");
    return 1;
  }
  QApplication app(argc, argv);
  app.setApplicationName("ORV Telephone");
  // The desktop matches the windows to the menu entry orv.desktop (its
  // name and icon; the application id on Wayland).
  QGuiApplication::setDesktopFileName("orv");
  // Hidden in the tray, the program runs on with no window shown.
  app.setQuitOnLastWindowClosed(false);
  return RunProgram(app, *options);
}
