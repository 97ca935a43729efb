// A node with a loaded profile (100 contacts in a signed contacts file,
// 1,000 nodes in the network file): how long the start-up takes until the
// network is enabled, how long the shutdown takes, and how much CPU the
// running node takes while nobody uses it (its threads and its one-second
// ticks; the nodes of the file are not there, so the DHT keeps trying).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "app/application.hpp"
#include "app/event_loop_dispatcher.hpp"
#include "app/scripted_ui_port.hpp"
#include "no_window.hpp"
#include "identity/key_file.hpp"
#include "identity/signed_file.hpp"
#include "store/contacts.hpp"
#include "store/network_file.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

constexpr uint32_t kContacts = 100;
constexpr uint32_t kNodes = 1000;

PeerRef Someone(uint32_t i) {
  PeerRef p;
  for (uint32_t w = 0; w < kUserIdWords; ++w) p.user_id[w] = (i + 1) * 2654435761u + w * 40503u + 7;
  p.ipv4 = 0x7f000000 + 0x100 + i;  // 127.0.x.y: nobody answers there
  p.port = static_cast<uint16_t>(20000 + i);
  return p;
}

void WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// The profile of a user who has run the program for a while.
std::unique_ptr<test::TempDir> LoadedProfile() {
  auto dir = std::make_unique<test::TempDir>();
  const test::TestIdentity& alice = test::Alice();
  WriteText(*dir / "orv.set", "[Network]\nLocalPort=0\nEnableUPnP=0\n");
  WriteKeyFile(*dir / "orv.key", alice.record);
  ContactStore store;
  const auto now = SystemFileTime();
  for (uint32_t i = 0; i < kNodes; ++i) MergeNode(store, NodeRecord{Someone(i), now, std::nullopt});
  SaveNetworkFile(store, *dir / "user.xml");
  for (uint32_t i = 0; i < kContacts; ++i) AddContact(store, Someone(i), "Contact " + std::to_string(i));
  SaveContacts(store, *dir / "likes.xml");
  SignFile(*dir / "likes.xml", alice.record, alice.pw(), alice.password.size());
  return dir;
}

struct RunningNode {
  explicit RunningNode(const std::string& profile) {
    PasswordAnswer answer;
    answer.accepted = true;
    answer.password = PasswordBytes(test::Alice().password);
    ui.AnswerPassword(std::move(answer));
    AppHooks hooks;
    hooks.dispatcher = &dispatcher;
    hooks.main_window_events = &events;
    hooks.main_window_prompts = &events;
    app = std::make_unique<Application>(ui, AppOptions{profile}, nullptr, hooks);
  }
  // Start-up and "Bootstrap", on the interface thread as the programs do.
  bool Start() {
    bool started = false;
    OnLoop([&] {
      started = app->Start();
      if (started) app->Bootstrap();
    });
    return started && app->endpoint()->enabled.load();
  }
  void Stop() {
    OnLoop([&] { app->Stop(); });
  }
  void OnLoop(const std::function<void()>& task) {
    std::promise<void> done;
    dispatcher.Post([&] {
      task();
      done.set_value();
    });
    done.get_future().wait();
  }

  ScriptedUiPort ui;
  bench::NoWindow events;
  EventLoopDispatcher dispatcher;
  std::unique_ptr<Application> app;
};

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Each iteration: a fresh copy of the profile, started and stopped.
void BM_StartupAndShutdown(benchmark::State& state) {
  const auto profile = LoadedProfile();
  double startup_ms = 0, shutdown_ms = 0;
  for (auto _ : state) {
    RunningNode node(profile->path());
    const auto t0 = std::chrono::steady_clock::now();
    if (!node.Start()) state.SkipWithError("the node did not start");
    const auto t1 = std::chrono::steady_clock::now();
    node.Stop();
    const auto t2 = std::chrono::steady_clock::now();
    startup_ms += std::chrono::duration<double, std::milli>(t1 - t0).count();
    shutdown_ms += std::chrono::duration<double, std::milli>(t2 - t1).count();
  }
  state.counters["startup_ms"] = startup_ms / static_cast<double>(state.iterations());
  state.counters["shutdown_ms"] = shutdown_ms / static_cast<double>(state.iterations());
}
BENCHMARK(BM_StartupAndShutdown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The CPU the process takes over 60 s of a running node nobody uses, as a
// share of one core.
void BM_IdleNodeCpu(benchmark::State& state) {
  const auto profile = LoadedProfile();
  RunningNode node(profile->path());
  if (!node.Start()) state.SkipWithError("the node did not start");
  std::this_thread::sleep_for(std::chrono::seconds(2));  // past the start's own work
  double cpu = 0;
  for (auto _ : state) {
    const double before = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(60));
    cpu = CpuSeconds() - before;
  }
  state.counters["cpu_percent"] = cpu / 60.0 * 100.0;
  state.counters["cpu_ms_per_s"] = cpu / 60.0 * 1000.0;
  node.Stop();
}
BENCHMARK(BM_IdleNodeCpu)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace orv
