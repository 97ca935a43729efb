// Speed of the peer network on loopback: a full handshake between two
// nodes, sealed payloads one way, and one node answering fifty calls at
// once. The hosts keep no log and answer the password at once (as a cached
// password does).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "crypto/byte_order.hpp"
#include "crypto/prime_table.hpp"
#include "crypto/public_key.hpp"
#include "net/endpoint.hpp"
#include "quiet_host.hpp"

namespace orv {
namespace {

constexpr uint32_t kLoopback = 0x7f000001;

struct Identity {
  KeyRecord record;
  std::string password;
};

std::unique_ptr<Identity> MakeIdentity(size_t which) {
  auto id = std::make_unique<Identity>();
  id->password = "password " + std::to_string(which);
  uint32_t p[kNumWords], x[kNumWords];
  PrimeTableEntry(which % kPrimeTableEntries, p);
  SignatureContext ctx;
  const std::string name = "node " + std::to_string(which);
  std::vector<uint8_t> info;
  for (char c : name) info.insert(info.end(), {static_cast<uint8_t>(c), 0});
  GenerateUserKey(ctx, id->record.certificate, x, p, info.data(), info.size());
  ProtectPrivateKey(id->record, x, reinterpret_cast<const uint8_t*>(id->password.data()), id->password.size());
  id->record.loaded = true;
  return id;
}

class QuietHost : public bench::QuietHost, public DhtMessageConsumer {
 public:
  explicit QuietHost(const Identity& id) : bench::QuietHost(id.record, id.password) {}
  void HandleDhtMessage(const uint8_t*, size_t, const PeerRef&) override { received.fetch_add(1); }

  std::atomic<uint64_t> received{0};
};

struct BenchNode {
  explicit BenchNode(size_t which) : id(MakeIdentity(which)), host(*id) {
    EndpointConfig config;
    config.local_port = 0;
    config.bind_ipv4 = kLoopback;
    NetworkConsumers consumers;
    consumers.dht_messages = &host;
    endpoint = OpenEndpoint(host, config, consumers);
    Restart();
  }
  // Drops every session; the session request stays.
  void Restart() {
    host.refuse.store(true);
    RestartNetwork(*endpoint);
    host.refuse.store(false);
  }
  PeerRef Ref() const {
    PeerRef ref;
    CopyUserId(ref.user_id, endpoint->own_id);
    ref.ipv4 = kLoopback;
    ref.port = EndpointPort(*endpoint);
    return ref;
  }
  int32_t Send(const PeerRef& to, const std::vector<uint8_t>& data) {
    PeerRef target = to;
    SendRequest request;
    request.target = &target;
    request.inner_type = 0;
    request.data = data.data();
    request.length = static_cast<uint32_t>(data.size());
    return SendToPeer(*endpoint, request);
  }
  bool Connected(const uint32_t* peer) { return GetPeerPresence(*endpoint, peer) != 0; }

  std::unique_ptr<Identity> id;
  QuietHost host;
  std::unique_ptr<NetworkEndpoint> endpoint;
};

bool WaitUntil(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void Connect(BenchNode& a, BenchNode& b) {
  a.Send(b.Ref(), {1, 0, 0, 0});
  WaitUntil([&] { return a.Connected(b.endpoint->own_id) && b.Connected(a.endpoint->own_id); });
  // The calling side's setup goes with the first sealed datagram.
  b.Send(a.Ref(), {1, 0, 0, 0});
  WaitUntil([&] { return a.host.received.load() > 0; });
}

void BM_Handshake(benchmark::State& state) {
  BenchNode a(0), b(1);
  for (auto _ : state) {
    state.PauseTiming();
    a.Restart();
    b.Restart();
    state.ResumeTiming();
    a.Send(b.Ref(), {1, 0, 0, 0});
    if (!WaitUntil([&] { return a.Connected(b.endpoint->own_id) && b.Connected(a.endpoint->own_id); })) {
      state.SkipWithError("no session");
      break;
    }
  }
}
BENCHMARK(BM_Handshake)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Sealed payloads from A to B, delivered and counted at B. B answers every
// 90 payloads so that A never counts the session as lost, and so that the
// socket buffers never overflow.
void BM_SealedPayloads(benchmark::State& state) {
  BenchNode a(0), b(1);
  Connect(a, b);
  const std::vector<uint8_t> data(static_cast<size_t>(state.range(0)), 0x5a);
  const PeerRef to_b = b.Ref(), to_a = a.Ref();
  uint64_t sent = 0;
  for (auto _ : state) {
    for (int i = 0; i < 90; ++i) a.Send(to_b, data);
    sent += 90;
    if (!WaitUntil([&] { return b.host.received.load() >= sent; })) {
      state.SkipWithError("payloads lost");
      break;
    }
    const uint64_t answers = a.host.received.load();
    b.Send(to_a, {1, 0, 0, 0});
    WaitUntil([&] { return a.host.received.load() > answers; });
  }
  state.SetItemsProcessed(static_cast<int64_t>(sent));
  state.SetBytesProcessed(static_cast<int64_t>(sent * data.size()));
}
BENCHMARK(BM_SealedPayloads)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// CPU seconds used so far by every thread of the process.
double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Fifty nodes call one node at the same moment. "process_cpu_s" is the CPU
// time of all threads (callee and callers) per round: on a machine shared
// with other work, wall time divided by it shows how much the round waited.
void BM_FiftyIncomingHandshakes(benchmark::State& state) {
  constexpr size_t kCallers = 50;
  BenchNode callee(0);
  std::vector<std::unique_ptr<BenchNode>> callers;
  for (size_t i = 1; i <= kCallers; ++i) callers.push_back(std::make_unique<BenchNode>(i));
  size_t completed = 0;
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    callee.Restart();
    for (auto& c : callers) c->Restart();
    state.ResumeTiming();
    const double cpu_start = ProcessCpuSeconds();
    for (auto& c : callers) c->Send(callee.Ref(), {1, 0, 0, 0});
    const auto all = [&] {
      for (auto& c : callers)
        if (!c->Connected(callee.endpoint->own_id) || !callee.Connected(c->endpoint->own_id)) return false;
      return true;
    };
    if (!WaitUntil(all)) {
      state.SkipWithError("not every handshake completed within two minutes");
      break;
    }
    cpu += ProcessCpuSeconds() - cpu_start;
    completed = 0;
    for (auto& c : callers) completed += c->Connected(callee.endpoint->own_id);
  }
  state.counters["completed"] = static_cast<double>(completed);
  state.counters["process_cpu_s"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FiftyIncomingHandshakes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace orv
