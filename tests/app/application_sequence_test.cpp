// The start-up and shutdown sequences of the whole program, run for real in
// a profile of their own (UDP on a port the system picks, no router): what
// the person sees through the UI port and each step as it ends, in one
// ordered list.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/application.hpp"
#include "app/manual_dispatcher.hpp"
#include "app/scripted_ui_port.hpp"
#include "identity/key_file.hpp"
#include "main_window_fixture.hpp"
#include "netsetup/scripted_upnp_client.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using Events = std::vector<std::string>;

const char* WindowName(AppWindow w) {
  switch (w) {
    case AppWindow::kMain: return "main";
    case AppWindow::kSplash: return "splash";
    case AppWindow::kLog: return "log";
    case AppWindow::kNetwork: return "network";
    case AppWindow::kKademlia: return "kademlia";
    case AppWindow::kDownloads: return "downloads";
    case AppWindow::kChats: return "chats";
    case AppWindow::kAbout: return "about";
    case AppWindow::kSettings: return "settings";
    case AppWindow::kFind: return "find";
    case AppWindow::kConnectTo: return "connect to";
  }
  return "?";
}

// Answers as the script says and writes every window and message into the
// shared list.
class RecordingUi final : public UiPort {
 public:
  explicit RecordingUi(Events& events) : events_(events) {}
  ScriptedUiPort script;

  void ShowMessage(std::string_view title, std::string_view text, MessageIcon icon) override {
    events_.push_back("message " + std::string(title) + ": " + std::string(text));
    script.ShowMessage(title, text, icon);
  }
  bool AskYesNo(std::string_view title, std::string_view text, MessageIcon icon) override {
    return script.AskYesNo(title, text, icon);
  }
  PasswordAnswer AskPassword(const PasswordRequest& request) override {
    events_.push_back("password asked");
    return script.AskPassword(request);
  }
  void CollectEntropy(EntropySink& sink) override { script.CollectEntropy(sink); }
  void SetPreventSleep(bool prevent) override { script.SetPreventSleep(prevent); }
  void OpenFirewallPort(uint16_t port) override { script.OpenFirewallPort(port); }
  void CloseFirewallPort(uint16_t port) override { script.CloseFirewallPort(port); }
  void OpenWindow(AppWindow w, bool shown) override {
    events_.push_back(std::string("open ") + WindowName(w) + (shown ? " shown" : " hidden"));
  }
  void CloseWindow(AppWindow w) override { events_.push_back(std::string("close ") + WindowName(w)); }

 private:
  Events& events_;
};

PasswordAnswer Enter(const std::string& password) {
  PasswordAnswer a;
  a.accepted = true;
  a.password = PasswordBytes(password);
  return a;
}

// One program: its profile with Alice's key, its interface thread, and the
// recording of everything it showed.
struct Program {
  Program(const std::string& profile, const std::string& settings, const std::string& upnp = "0",
          const std::vector<std::string>& passwords = {test::Alice().password})
      : ui(events) {
    std::filesystem::create_directories(profile);
    // `upnp` of the [Network] section, then the sections the test adds.
    WriteWholeFile(profile + "/orv.set", "[Network]\nLocalPort=0\nEnableUPnP=" + upnp + "\n" + settings);
    EXPECT_EQ(WriteKeyFile(profile + "/orv.key", test::Alice().record), KeyFileWrite::kWritten);
    for (const std::string& password : passwords) ui.script.AnswerPassword(Enter(password));
    AppHooks hooks;
    hooks.dispatcher = &dispatcher;
    hooks.main_window_events = &window_events;
    hooks.main_window_prompts = &prompts;
    hooks.select_audio_devices = [this](const Settings&) { events.push_back("audio devices selected"); };
    hooks.audio_levels = [this](Settings&) { events.push_back("audio levels kept"); };
    hooks.automatic_gain = [this](bool on) { events.push_back(on ? "agc on" : "agc off"); };
    hooks.upnp_client = [this] {
      auto client = std::make_unique<test::ScriptedUpnpClient>();
      router = client.get();
      return client;
    };
    hooks.exit = [this] { events.push_back("exit"); };
    hooks.step = [this](std::string_view step) { events.push_back("step " + std::string(step)); };
    app = std::make_unique<Application>(ui, AppOptions{profile}, nullptr, hooks);
  }
  static void WriteWholeFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  // What was recorded since the last call.
  Events Take() {
    Events taken;
    taken.swap(events);
    return taken;
  }

  Events events;
  RecordingUi ui;
  ManualDispatcher dispatcher;
  test::RecordingEvents window_events;
  test::ScriptedPrompts prompts;
  test::ScriptedUpnpClient* router = nullptr;  // the application's
  std::unique_ptr<Application> app;
};

class ApplicationSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old) saved_runtime_ = old;
    had_runtime_ = old != nullptr;
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  }
  void TearDown() override {
    if (had_runtime_) ::setenv("XDG_RUNTIME_DIR", saved_runtime_.c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
  }
  test::TempDir dir;
  std::string saved_runtime_;
  bool had_runtime_ = false;
};

const Events kStartup = {
    "step context",
    "step settings",
    "open log hidden",
    "step log",
    "open splash shown",
    "step first window",
    "step key",
    "step single instance",
    "step port mapping",
    "step dht",
    "password asked",
    "step endpoint",
    "step contact store",
    "step file transfer",
    "step conversations",
    "step main timer",
    "step password timer",
    "audio devices selected",
    "step audio devices",
    "step network file",
    "step contacts",
    "step downloads",
    "step seed",
    "step online",
    "open network hidden",
    "open kademlia hidden",
    "open downloads hidden",
    "step tool windows",
    "close splash",
    "open main shown",
    "step splash end",
};

const Events kShutdown = {
    "close network",
    "close kademlia",
    "step tool windows",
    "step main timer",
    "step password timer",
    "step network file",
    "step downloads",
    "step seed",
    "close chats",
    "step conversations",
    "step file transfer",
    "step dht",
    "step endpoint",
    "step contact store",
    "audio levels kept",
    "step settings",
    "step port mapping",
    "step secrets",
    "close log",
    "step log",
    "step context",
};

TEST_F(ApplicationSequence, StartsAndStopsInTheirOrder) {
  Program program(dir / "alice", "");
  ASSERT_TRUE(program.app->Start());
  EXPECT_EQ(program.Take(), kStartup);
  ASSERT_NE(program.app->endpoint(), nullptr);
  EXPECT_NE(program.app->main_window(), nullptr);
  EXPECT_EQ(program.window_events.marks, std::vector<Presence>{Presence::kOnline});
  program.app->Stop();
  EXPECT_EQ(program.Take(), kShutdown);
  EXPECT_EQ(program.app->endpoint(), nullptr);
  program.app->Stop();  // a second shutdown finds nothing to do
  EXPECT_TRUE(program.Take().empty());
}

TEST_F(ApplicationSequence, WithoutSplashTheMainWindowShowsAtOnce) {
  Program program(dir / "alice", "[System]\nShowSplashWindow=0\n");
  ASSERT_TRUE(program.app->Start());
  const Events events = program.Take();
  Events windows;
  for (const std::string& e : events)
    if (e.rfind("open ", 0) == 0 || e.rfind("close ", 0) == 0) windows.push_back(e);
  EXPECT_EQ(windows, (Events{"open log hidden", "open main shown", "open network hidden", "open kademlia hidden",
                             "open downloads hidden"}));
}

// A second copy with the same key warns, asks the first to show itself and
// ends; its shutdown meets only what its start-up made.
TEST_F(ApplicationSequence, ASecondCopyWithTheSameKeyStopsAfterTheSingleInstanceStep) {
  Program first(dir / "first", "");
  ASSERT_TRUE(first.app->Start());
  first.Take();
  Program second(dir / "second", "");
  EXPECT_FALSE(second.app->Start());
  EXPECT_EQ(second.Take(),
            (Events{"step context", "step settings", "open log hidden", "step log", "open splash shown",
                    "step first window", "step key",
                    "message Warning: Another copy of ORV telephone with the same ID is running. This applicaton "
                    "will be closed and anoter shown"}));
  EXPECT_EQ(second.app->endpoint(), nullptr);
  second.app->Stop();
  EXPECT_EQ(second.Take(), (Events{"step seed", "audio levels kept", "step settings", "step secrets", "close log",
                                   "step log", "step context"}));
  // The first copy is asked to show its main window.
  bool shown = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!shown && std::chrono::steady_clock::now() < end) {
    first.dispatcher.RunPending();
    for (const std::string& e : first.Take()) shown = shown || e == "open main shown";
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(shown);
}

// With EnableUPnP the port is mapped at start-up, again on the return from
// sleep, and no more once the settings turn it off (which removes the
// mapping).
TEST_F(ApplicationSequence, ThePortIsMappedAgainAfterSleepUnlessTheSettingsTurnItOff) {
  Program program(dir / "alice", "", "1");
  ASSERT_TRUE(program.app->Start());
  ASSERT_NE(program.router, nullptr);
  EXPECT_EQ(program.router->discovery_waits.size(), 1u);
  EXPECT_EQ(program.router->added.size(), 1u);
  EXPECT_EQ(program.app->port_mapping().external_address.load(), 0xCB007107u);  // 203.0.113.7
  program.app->Resumed();
  EXPECT_EQ(program.router->discovery_waits.size(), 2u);
  Settings off = program.app->settings();
  off.EnableUPnP = false;
  program.app->ApplySettings(off);
  EXPECT_EQ(program.router->discovery_waits.size(), 3u);
  EXPECT_EQ(program.router->deleted.size(), 1u);
  EXPECT_FALSE(program.app->settings().EnableUPnP);
  program.app->Resumed();
  EXPECT_EQ(program.router->discovery_waits.size(), 3u);
}

// The settings dialog's OK on the running program: the log reopens into
// the new file, the voice engine and the devices follow, the live settings
// change, and the execution state and the firewall are set again.
TEST_F(ApplicationSequence, SettingsDialogOkTakesEffectOnTheRunningProgram) {
  Program program(dir / "alice", "");
  ASSERT_TRUE(program.app->Start());
  program.Take();
  const size_t effects_before = program.ui.script.effects().size();
  Settings edited = program.app->SettingsToEdit();
  const std::string log = dir / "alice/other-log.txt";
  edited.Log = log;
  edited.EnableLog = true;
  edited.AGC = false;
  edited.AllowAnyone = false;
  program.app->ApplySettings(edited);
  EXPECT_EQ(program.Take(), (Events{"agc off", "audio devices selected"}));
  EXPECT_TRUE(std::filesystem::exists(log));
  EXPECT_EQ(program.app->settings(), edited);
  const auto effects = program.ui.script.effects();
  ASSERT_EQ(effects.size(), effects_before + 2);
  EXPECT_EQ(effects[effects_before], (ScriptedUiPort::Effect{ScriptedUiPort::Effect::kPreventSleep, 0}));
  EXPECT_EQ(effects[effects_before + 1],
            (ScriptedUiPort::Effect{ScriptedUiPort::Effect::kCloseFirewallPort, edited.LocalPort}));
}

// Every command of the menu, by its number, does its core part: windows
// shown, presence changed, the network restarted, the program ended.
TEST_F(ApplicationSequence, MenuCommandsRunTheirCoreOperations) {
  Program program(dir / "alice", "");
  ASSERT_TRUE(program.app->Start());
  program.Take();
  struct Case {
    uint32_t id;
    Events events;
  };
  const Case cases[] = {
      {1000, {"open settings shown"}}, {1012, {"open about shown"}},       {1013, {}},
      {1017, {"open log shown"}},      {1018, {"open network shown"}},     {1019, {"open kademlia shown"}},
      {1020, {"open find shown"}},     {1028, {"open downloads shown"}},   {1035, {"open connect to shown"}},
      {1002, {"exit"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const auto command = MenuCommandFromId(c.id);
    ASSERT_TRUE(command);
    program.app->RunCommand(*command);
    EXPECT_EQ(program.Take(), c.events);
  }
  program.app->RunCommand(MenuCommand::kAway);
  EXPECT_TRUE(program.app->endpoint()->away.load());
  EXPECT_EQ(program.window_events.titles.back(), "ORV Telephone - away");
  program.app->RunCommand(MenuCommand::kOnline);
  EXPECT_FALSE(program.app->endpoint()->away.load());
  EXPECT_EQ(program.window_events.titles.back(), "ORV Telephone - online");
  program.app->RunCommand(MenuCommand::kMyInformation);
  ASSERT_EQ(program.window_events.infos.size(), 1u);
  program.app->RunCommand(MenuCommand::kBootstrap);
  EXPECT_TRUE(program.app->endpoint()->enabled.load());
  EXPECT_FALSE(MenuCommandFromId(1003));
  EXPECT_EQ(MenuItems().size(), 16u);
}

// Five wrong passwords during the start-up end the run in order: the
// remaining start-up steps are skipped and the shutdown runs (no signal).
TEST_F(ApplicationSequence, FiveWrongPasswordsAtTheStartEndTheRunInOrder) {
  Program program(dir / "alice", "", "0", {"w1", "w2", "w3", "w4", "w5"});
  EXPECT_FALSE(program.app->Start());
  const Events started = program.Take();
  EXPECT_NE(std::find(started.begin(), started.end(),
                      "message Error: Too many attempts to enter the password\nPROGRAM WILL BE CLOSED"),
            started.end());
  EXPECT_EQ(started.back(), "step endpoint");
  program.app->Stop();
  const Events stopped = program.Take();
  ASSERT_FALSE(stopped.empty());
  EXPECT_NE(std::find(stopped.begin(), stopped.end(), "step secrets"), stopped.end());
  EXPECT_EQ(stopped.back(), "step context");
}

// Without a password the network cannot receive: it stays disabled and the
// title says why, until a "Bootstrap" gets the password.
TEST_F(ApplicationSequence, WithoutAPasswordTheTitleSaysNotConnectedUntilOneIsGiven) {
  Program program(dir / "alice", "", "0", {});
  ASSERT_TRUE(program.app->Start());
  EXPECT_EQ(program.app->Bootstrap(), NetworkStart::kNoPassword);
  EXPECT_FALSE(program.app->endpoint()->enabled.load());
  EXPECT_EQ(program.window_events.titles.back(), "ORV Telephone - not connected: no password");
  program.ui.script.AnswerPassword(Enter(test::Alice().password));
  EXPECT_EQ(program.app->Bootstrap(), NetworkStart::kListening);
  EXPECT_TRUE(program.app->endpoint()->enabled.load());
  EXPECT_EQ(program.window_events.titles.back(), "ORV Telephone - online");
}

// "Generate Key": the typed path becomes `Key` and the new key is in use at
// once: the network and the DHT speak with its UserId.
TEST_F(ApplicationSequence, GenerateKeyPutsTheNewKeyInUse) {
  Program program(dir / "alice", "");
  ASSERT_TRUE(program.app->Start());
  ASSERT_EQ(program.app->Bootstrap(), NetworkStart::kListening);
  const std::string path = dir / "alice/new.key";
  PasswordAnswer generate = Enter("new pw");
  generate.confirmation.Assign("new pw");
  generate.user_info = "Alice again";
  generate.key_file = path;
  program.ui.script.AnswerPassword(std::move(generate));
  program.ui.script.ScriptEntropyEvents(10);
  program.ui.script.AnswerPassword(Enter("new pw"));  // the new key's password, at the restart
  program.app->RunCommand(MenuCommand::kGenerateKey);
  EXPECT_EQ(program.app->settings().Key, path);
  KeyRecord made;
  ASSERT_EQ(LoadKeyFile(path, made), KeyFileLoad::kLoaded);
  EXPECT_TRUE(SameUserId(program.app->context()->key().certificate.user_id, made.certificate.user_id));
  EXPECT_TRUE(SameUserId(program.app->endpoint()->own_id.Get().data(), made.certificate.user_id));
  EXPECT_TRUE(SameUserId(program.app->dht()->OwnId().data(), made.certificate.user_id));
  EXPECT_TRUE(program.app->endpoint()->enabled.load());
}

}  // namespace
}  // namespace orv
