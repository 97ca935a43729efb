// orvd: the headless ORV node. It runs the same core as the desktop
// program: loads or makes its key, opens the UDP endpoint, answers
// handshakes, optionally calls one peer, takes commands from its terminal
// and its control socket, and ends cleanly on `quit`, SIGINT or SIGTERM
// (every connected peer is told that the session ends).
//
// `orvd ctl ...` is the client of a running node's control socket.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "app/event_log.hpp"
#include "audio/voice_provider.hpp"
#include "app/event_loop_dispatcher.hpp"
#include "daemon/control_ctl.hpp"
#include "daemon/control_interface.hpp"
#include "daemon/control_socket.hpp"
#include "daemon/voice_commands.hpp"
#include "daemon/contact_commands.hpp"
#include "daemon/main_window_lines.hpp"
#include "daemon/dht_commands.hpp"
#include "daemon/dht_lines.hpp"
#include "daemon/conversation_commands.hpp"
#include "daemon/conversation_lines.hpp"
#include "daemon/transfer_commands.hpp"
#include "daemon/transfer_lines.hpp"
#include "daemon/daemon_options.hpp"
#include "app/application.hpp"
#include "daemon/node_commands.hpp"
#include "daemon/session_watch.hpp"
#include "daemon/terminal_input.hpp"
#include "daemon/terminal_ui_port.hpp"
#include "platform/sleep_watch.hpp"

namespace {

// Timers of the interface thread.
constexpr orv::TimerId kSessionWatchTimer = 0x53455353;  // "SESS": apart from the main window's timer

// Runs `task` on the loop thread and waits for it; inline when the loop no
// longer takes tasks.
void RunOnLoop(orv::Dispatcher& dispatcher, const std::function<void()>& task) {
  std::promise<void> done;
  if (!dispatcher.Post([&task, &done] {
        task();
        done.set_value();
      })) {
    task();
    return;
  }
  done.get_future().wait();
}

// `quit`: main waits for SIGINT and SIGTERM, so the command sends itself one.
void RequestStop() { ::kill(::getpid(), SIGTERM); }

int RunCtlCommand(int argc, char** argv) {
  std::string error;
  const auto options = orv::ParseCtlOptions(std::vector<std::string>(argv + 2, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "orvd ctl: %s\n%s", error.c_str(), orv::kCtlUsage);
    return 2;
  }
  return orv::RunCtl(*options);
}

// The voice engines of the node's calls, as the options choose them.
std::unique_ptr<orv::AudioVoiceProvider> MakeVoice(const orv::DaemonOptions& options,
                                                   std::shared_ptr<orv::SteadyPaceClock> clock, std::string& error) {
  orv::VoiceOptions voice;
  voice.clock = std::move(clock);
  voice.backend = options.audio;
  voice.capture_file = options.capture_file;
  voice.capture_loop = options.capture_loop;
  voice.playback_file = options.playback_file;
  return orv::CreateVoiceProvider(voice, error);
}

int RunNode(const orv::DaemonOptions& options, const sigset_t& stop_signals) {
  std::string voice_error;
  auto voice_clock = std::make_shared<orv::SteadyPaceClock>();
  std::unique_ptr<orv::AudioVoiceProvider> voice = MakeVoice(options, voice_clock, voice_error);
  if (!voice) {
    std::fprintf(stderr, "orvd: %s\n", voice_error.c_str());
    return 1;
  }
  orv::TerminalInput terminal;
  orv::TerminalUiPort ui(options.password_file, options.name.empty() ? "orvd" : options.name, &terminal);
  auto dispatcher = std::make_unique<orv::EventLoopDispatcher>();
  orv::ControlInterface control(*dispatcher, terminal);
  orv::ConversationLines conversation_lines(control.events());
  orv::TransferLines transfer_lines(control.events());
  orv::DhtLines dht_lines(control.events());
  orv::MainWindowLines main_window_lines(control.events());
  orv::AppHooks hooks;
  hooks.dispatcher = dispatcher.get();
  hooks.conversation_events = &conversation_lines;
  hooks.transfer_events = &transfer_lines;
  hooks.dht_events = &dht_lines;
  hooks.voice = voice.get();
  hooks.main_window_events = &main_window_lines;
  hooks.main_window_prompts = &main_window_lines;
  hooks.exit = RequestStop;
  hooks.select_audio_devices = [&voice](const orv::Settings& settings) {
    voice->SelectAudioDevices(settings);
    voice->SetAutomaticGain(settings.AGC);
  };
  orv::Application* running = nullptr;  // set once the node exists
  // A user found by name among the connected peers: its line, and on the
  // interface thread it is located and its contact row selected.
  hooks.user_found = [&control, &dispatcher, &running](const uint32_t* id) {
    control.events().Emit("user_found", orv::Fields().UserId("user", id));
    std::array<uint32_t, orv::kUserIdWords> copy;
    std::copy(id, id + orv::kUserIdWords, copy.begin());
    dispatcher->Post([&running, copy] {
      if (orv::MainWindowController* window = running ? running->main_window() : nullptr) window->UserFound(copy.data());
    });
  };
  hooks.connect_ended = [&control](const orv::ConnectOutcome& outcome) {
    if (outcome.established) return;  // session_established tells
    control.events().Emit("connect_failed", orv::Fields()
                                                .Address("address", outcome.ipv4, outcome.port)
                                                .Text("reason", outcome.reason));
  };
  orv::Application node(ui, orv::AppOptions{options.profile}, control.log_sink(), hooks);
  running = &node;
  const bool started = node.Start();
  if (!started || !ui.fatal_reason().empty()) {
    RunOnLoop(*dispatcher, [&node] { node.Stop(); });
    if (!ui.fatal_reason().empty()) std::fprintf(stderr, "orvd: %s\n", ui.fatal_reason().c_str());
    return 1;
  }

  // The engines' commands and events are added here, before any transport
  // opens; their handlers run on `dispatcher`.
  orv::AddNodeCommands(control.commands(), node, *dispatcher, RequestStop);
  orv::AddConversationCommands(control.commands(), node);
  orv::AddTransferCommands(control.commands(), node);
  orv::AddDhtCommands(control.commands(), node);
  orv::AddContactCommands(control.commands(), node);
  orv::AddVoiceCommands(control.commands(), *voice, voice_clock.get());
  conversation_lines.SetConnectionRequestHandler([&node](const orv::PeerRef& peer) {
    if (orv::MainWindowController* window = node.main_window()) window->ConnectionRequestArrived(peer);
  });
  orv::SessionWatch sessions(*node.endpoint(), control.events());
  orv::SleepWatch sleep;
  dispatcher->StartTimer(kSessionWatchTimer, 1000, [&sessions, &sleep, &node] {
    sessions.Tick();
    if (sleep.Resumed()) node.Resumed();
  });

  // A node that cannot receive (no usable key, no password) is of no use:
  // it ends with its reason instead of running deaf.
  if (const orv::NetworkStart start = node.Bootstrap(); start != orv::NetworkStart::kListening) {
    std::string reason = "not connected: " + std::string(orv::NetworkProblemText(start));
    if (start == orv::NetworkStart::kNoKey) reason += " (no usable key file " + node.settings().Key + ")";
    RunOnLoop(*dispatcher, [&node] { node.Stop(); });
    std::fprintf(stderr, "orvd: %s\n", reason.c_str());
    return 1;
  }
  if (options.connect_ip) node.Connect(*options.connect_ip, options.connect_port);
  std::string error;
  const std::string socket_path = orv::ControlSocketPath(node.paths().profile_dir);
  if (control.OpenSocket(socket_path, error))
    orv::LogEvent("Main", "Control socket " + socket_path);
  else
    orv::LogEvent("Main", "No control socket: " + error);
  control.StartTerminal(options.stdin_commands);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  orv::LogEvent("Main", signal_number == SIGINT ? "Stopping (interrupt)" : "Stopping");
  // No command runs from here on; the interface thread ends before the
  // engines it drives; the clients still see the shutdown's events.
  control.StopCommands();
  dispatcher->StopTimer(kSessionWatchTimer);
  // The shutdown runs on the interface thread, as every window and timer
  // of the node does, so that no tick meets an engine that is going.
  RunOnLoop(*dispatcher, [&node] { node.Stop(); });
  dispatcher.reset();
  control.Close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "ctl") return RunCtlCommand(argc, argv);
  std::string error;
  const auto options = orv::ParseDaemonOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "orvd: %s\n%s", error.c_str(), orv::kDaemonUsage);
    return 2;
  }
  if (options->help) {
    std::fputs(orv::kDaemonUsage, stdout);
    return 0;
  }
  // Every thread starts with these signals blocked; main takes them with sigwait.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  // Started in the background of a terminal, reading it fails instead of
  // stopping the process.
  ::signal(SIGTTIN, SIG_IGN);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  return RunNode(*options, stop_signals);
}
