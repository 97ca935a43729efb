// Cost of the main window's one-second tick on the interface thread: every
// contact's peer looked up under the peer table lock, its address copied
// under the store lock, its row rebuilt. Contacts as many as peers, half
// of them connected; the rows change every tick (the addresses move).
#include <benchmark/benchmark.h>

#include "no_window.hpp"
#include "quiet_host.hpp"

#include <mutex>
#include <string>

#include "app/main_window/endpoint_peer_directory.hpp"
#include "app/main_window/main_window_controller.hpp"
#include "app/scripted_ui_port.hpp"

namespace orv {
namespace {

PeerRef Contact(uint32_t i) {
  PeerRef p;
  for (uint32_t w = 0; w < kUserIdWords; ++w) p.user_id[w] = i * 2654435761u + w + 1;
  p.ipv4 = 0x0A000000 + i;
  p.port = static_cast<uint16_t>(31265 + i % 100);
  return p;
}


class Idle final : public PayloadSender,
                   public ContactLocator,
                   public ConversationControl,
                   public FileTransferStarter,
                   public IdleTimeSource,
                   public OwnIdentitySource,
                   public ContactsSigner,
                   public bench::NoWindow {
 public:
  int32_t SendPayload(PeerRef&, uint32_t, const uint8_t*, uint32_t) override { return 0; }
  void PingOrLocate(const PeerRef&) override {}
  void LocateUser(const uint32_t*) override {}
  void OpenChat(const PeerRef&) override {}
  bool AnyCallInVoice() override { return false; }
  void StartFileTransfer(const PeerRef&, const std::string&) override {}
  uint64_t IdleMilliseconds() override { return 0; }
  OwnIdentity Own() override { return {}; }
  bool SignContactsFile(const std::string&) override { return true; }
};

void BM_MainTick(benchmark::State& state) {
  const auto contacts = static_cast<uint32_t>(state.range(0));
  bench::QuietHost host;
  NetworkEndpoint endpoint(host);
  EndpointPeerDirectory peers(endpoint);
  Settings settings;
  ContactStore store;
  ScriptedUiPort ui;
  Idle idle;
  ContactsSaver saver(store, idle);
  MainWindowController controller(MainWindowParts{settings, store, ui, idle, idle, peers, idle, idle, idle, idle,
                                                  idle, idle, saver});
  std::vector<std::shared_ptr<PeerRecord>> records;
  for (uint32_t i = 0; i < contacts; ++i) {
    ContactRecord c;
    c.peer = Contact(i);
    c.name = "Contact " + std::to_string(i);
    c.original_name = c.name;
    c.authorized = i % 3 != 0;
    store.contacts.push_back(std::move(c));
    auto record = NewPeerRecord(Contact(i));
    record->connected = i % 2 == 0;
    records.push_back(record);
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    endpoint.peers.push_back(record);
  }
  uint16_t step = 0;
  for (auto _ : state) {
    {
      // The network moves every peer, so every row changes.
      std::lock_guard<std::mutex> table(endpoint.table_lock);
      ++step;
      for (auto& r : records) r->port = static_cast<uint16_t>(40000 + step % 1000);
    }
    controller.MainTick();
  }
  {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    for (auto& r : records) r->connected = false;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * contacts);
}
BENCHMARK(BM_MainTick)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orv
