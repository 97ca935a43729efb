// Conversations between two nodes on loopback: the round trip of one chat
// message from sending to its "delivered" mark, and the processor time the
// one-second tick of an idle node with 20 open conversations costs.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/manual_dispatcher.hpp"
#include "chat/conversations.hpp"
#include "net/net_fixture.hpp"

namespace orv {
namespace {

// Counts what the benchmarks wait for and drops the rest.
class CountingEvents : public ConversationEvents {
 public:
  void OnConversationOpened(ConversationId, const PeerRef&) override {}
  void OnConversationRaised(ConversationId) override {}
  void OnConversationClosed(ConversationId) override {}
  void OnHistoryLine(ConversationId, const HistoryLine& line) override {
    if (line.kind == LineKind::kIncoming) incoming.fetch_add(1);
  }
  void OnLineDelivered(ConversationId, uint32_t) override { delivered.fetch_add(1); }
  void OnAlert(ConversationId) override {}
  void OnStatus(ConversationId, const StatusBar&) override { status.fetch_add(1); }
  void OnTitle(ConversationId, const std::string&) override {}
  void OnCallState(ConversationId, uint32_t, std::string_view) override {}
  void OnPeerTyping(ConversationId) override {}
  void OnRingOpened(ConversationId, bool, const std::string&) override {}
  void OnRingClosed(ConversationId) override {}
  void OnToneStarted(ConversationId, Tone) override {}
  void OnToneStopped(ConversationId) override {}
  void OnIdentityAdopted(ConversationId, const PeerRef&) override {}
  void OnConnectionRequest(const PeerRef&, const std::string&) override {}

  std::atomic<uint64_t> incoming{0};
  std::atomic<uint64_t> delivered{0};
  std::atomic<uint64_t> status{0};
};

struct ChatNode {
  explicit ChatNode(test::Node& node, std::function<bool(const uint32_t*, PeerRef&)> locate = nullptr)
      : sender(*node.endpoint), network(*node.endpoint) {
    ConversationServices services;
    services.dispatcher = &dispatcher;
    services.sender = &sender;
    services.events = &events;
    services.network = &network;
    services.locate = std::move(locate);
    services.start_timer = false;
    ConversationSettings settings;
    settings.allow_anyone = true;
    conversations = std::make_unique<Conversations>(services, settings);
    NetworkConsumers set = node.consumers.Set();
    set.conversations = conversations.get();
    SetNetworkConsumers(*node.endpoint, set);
    endpoint = node.endpoint.get();
  }
  ~ChatNode() {
    SetNetworkConsumers(*endpoint, {});
    conversations.reset();
  }
  ManualDispatcher dispatcher;
  EndpointPayloadSender sender;
  EndpointConversationNetwork network;
  CountingEvents events;
  std::unique_ptr<Conversations> conversations;
  NetworkEndpoint* endpoint = nullptr;
};

// Runs both interface threads until `done` or a time limit.
template <typename Done>
bool Spin(ChatNode& a, ChatNode& b, Done done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    a.dispatcher.RunPending();
    b.dispatcher.RunPending();
    if (std::chrono::steady_clock::now() > end) return false;
  }
  return true;
}

void BM_ChatRoundTrip(benchmark::State& state) {
  test::Node alice(test::Alice());
  test::Node bob(test::Bob());
  alice.Send(bob.Ref(), 0, {1, 0, 0, 0});
  if (!alice.WaitConnected(bob.id()) || !bob.WaitConnected(alice.id())) {
    state.SkipWithError("no session");
    return;
  }
  const PeerRef bob_ref = bob.Ref();
  ChatNode a(alice, [bob_ref](const uint32_t*, PeerRef& out) {
    out = bob_ref;
    return true;
  });
  ChatNode b(bob);
  const ConversationId id = a.conversations->Open(bob_ref);
  auto conversation = a.conversations->Get(id);
  conversation->SendChatInput(u"hello");
  // Connect: a few ticks until the first line is delivered.
  for (int i = 0; i < 50 && a.events.delivered.load() == 0; ++i) {
    a.conversations->Tick();
    b.conversations->Tick();
    Spin(a, b, [&] { return a.events.delivered.load() > 0; }, std::chrono::milliseconds(100));
  }
  if (a.events.delivered.load() == 0) {
    state.SkipWithError("not connected");
    return;
  }
  for (auto _ : state) {
    const uint64_t before = a.events.delivered.load();
    conversation->SendChatInput(u"ping");
    if (!Spin(a, b, [&] { return a.events.delivered.load() > before; })) {
      state.SkipWithError("not delivered");
      break;
    }
  }
  state.counters["delivered"] = static_cast<double>(a.events.delivered.load());
}
BENCHMARK(BM_ChatRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One tick of a node with 20 open, idle conversations: what the node spends
// on conversations each second.
void BM_IdleTickOf20Conversations(benchmark::State& state) {
  test::Node node(test::Alice());
  ChatNode chat(node, [](const uint32_t* id, PeerRef& out) {
    CopyUserId(out.user_id, id);
    out.ipv4 = test::kLoopback;
    out.port = static_cast<uint16_t>(40000 + id[0]);
    return true;
  });
  for (uint32_t i = 0; i < 20; ++i) {
    PeerRef peer;
    for (uint32_t w = 0; w < kUserIdWords; ++w) peer.user_id[w] = i + 1 + 100 * w;
    chat.conversations->Open(peer);
  }
  chat.dispatcher.RunPending();
  for (auto _ : state) {
    chat.conversations->Tick();
    chat.dispatcher.RunPending();
  }
  state.counters["conversations"] = static_cast<double>(chat.conversations->List().size());
}
BENCHMARK(BM_IdleTickOf20Conversations)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orv
