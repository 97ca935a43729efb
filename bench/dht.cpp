// Speed of the DHT engine: noting the sender of every datagram, answering
// find_node from a full routing table, an idle node's pass, and lookups
// among a thousand simulated engines (reliable, 10 % loss, 20 % of the
// nodes gone): success rate and the median and 95th percentile of passes,
// messages and simulated time per lookup.
#include <benchmark/benchmark.h>

#include <memory>

#include "dht/sim_lookups.hpp"

namespace orv {
namespace {

class NullSender : public PayloadSender {
 public:
  int32_t SendPayload(PeerRef&, uint32_t, const uint8_t*, uint32_t length) override {
    ++sent;
    return static_cast<int32_t>(length);
  }
  uint64_t sent = 0;
};

class QuietNetwork : public DhtNetwork {
 public:
  int PeerPresence(const uint32_t*) override { return 0; }
  void UpdatePeerAddress(const PeerRef&) override {}
};

class FixedClock : public DhtClock {
 public:
  uint64_t NowMs() override { return now; }
  uint64_t now = 1000;
};

// A node differing from `own` first in bit `bucket`, numbered `tag` below it.
PeerRef NodeIn(const PeerRef& own, int bucket, uint32_t tag) {
  PeerRef node = own;
  node.user_id[kUserIdWords - 1 - static_cast<size_t>(bucket) / 32] ^= 1u << (bucket % 32);
  node.user_id[kUserIdWords - 1] ^= tag & (bucket >= 32 ? ~0u : (1u << bucket) - 1);
  node.ipv4 = 0x0A000000u | (static_cast<uint32_t>(bucket) << 8) | tag;
  node.port = 31265;
  return node;
}

// An engine whose routing table is full: 20 nodes in every bucket that can
// hold 20 (buckets 5..255), every node answered.
struct FullTable {
  FullTable() {
    own.user_id[0] = 0x12345678;
    own.user_id[7] = 0x9abcdef0;
    own.ipv4 = 0x7f000001;
    own.port = 31265;
    DhtSetup setup;
    setup.own = own;
    setup.user_info = u"Alice Smith";
    setup.sender = &sender;
    setup.network = &network;
    setup.clock = &clock;
    engine = std::make_unique<DhtEngine>(setup);
    for (int b = 5; b < 256; ++b)
      for (uint32_t t = 0; t < kBucketSize; ++t) engine->NoteDhtNode(NodeIn(own, b, t), true, nullptr);
  }
  PeerRef own;
  NullSender sender;
  QuietNetwork network;
  FixedClock clock;
  std::unique_ptr<DhtEngine> engine;
};

void BM_NoteDhtNodeKnownSender(benchmark::State& state) {
  FullTable t;
  uint32_t i = 0;
  for (auto _ : state) {
    const PeerRef node = NodeIn(t.own, 5 + static_cast<int>(i % 251), i % kBucketSize);
    t.engine->NoteDhtNode(node);
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NoteDhtNodeKnownSender);

void BM_NoteDhtNodeStrangerToFullBucket(benchmark::State& state) {
  FullTable t;
  uint32_t i = 0;
  for (auto _ : state) {
    t.engine->NoteDhtNode(NodeIn(t.own, 100 + static_cast<int>(i % 100), 1000 + i));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NoteDhtNodeStrangerToFullBucket);

void BM_ClosestNodesFullTable(benchmark::State& state) {
  FullTable t;
  PeerRef out[kMaxReplyEntries];
  uint32_t i = 0;
  for (auto _ : state) {
    const PeerRef key = NodeIn(t.own, static_cast<int>(i % 256), 777);
    benchmark::DoNotOptimize(t.engine->ClosestNodes(key.user_id, out));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ClosestNodesFullTable);

// A pass of an idle node with a full table: bucket upkeep finds no
// candidate, the publish slots step (every 33 passes they walk the whole
// table), no lookup runs. Averaged over 330 passes per iteration.
void BM_IdlePassFullTable(benchmark::State& state) {
  FullTable t;
  for (auto _ : state) {
    for (int i = 0; i < 330; ++i) {
      t.clock.now += 1000;
      t.engine->DhtPass();
    }
  }
  state.SetItemsProcessed(state.iterations() * 330);
  state.counters["messages_per_pass"] =
      static_cast<double>(t.sender.sent) / static_cast<double>(state.iterations() * 330);
}
BENCHMARK(BM_IdlePassFullTable)->Unit(benchmark::kMicrosecond);

void BM_SimulatedLookups(benchmark::State& state) {
  const double loss = static_cast<double>(state.range(0)) / 100;
  const double leaving = static_cast<double>(state.range(1)) / 100;
  test::SimLookupStats stats;
  double bootstrap_messages = 0;
  for (auto _ : state) {
    test::SimConfig config;
    config.nodes = 1000;
    config.seed = 11;
    config.loss = loss;
    test::SimNetwork net(config);
    net.JoinAll(10);
    net.RunFor(30000);
    bootstrap_messages = static_cast<double>(net.messages()) / 1000;
    for (size_t i = 1; i < net.size(); ++i)
      if (net.random()() % 1000 < static_cast<uint64_t>(leaving * 1000)) net.Leave(i);
    stats = test::SimLookups(net, 1000);
  }
  state.counters["success_pct"] = 100 * stats.SuccessRate();
  state.counters["passes_p50"] = test::Percentile(stats.passes, 0.5);
  state.counters["passes_p95"] = test::Percentile(stats.passes, 0.95);
  state.counters["msgs_p50"] = test::Percentile(stats.messages, 0.5);
  state.counters["msgs_p95"] = test::Percentile(stats.messages, 0.95);
  state.counters["queries_p50"] = test::Percentile(stats.queries, 0.5);
  state.counters["queries_p95"] = test::Percentile(stats.queries, 0.95);
  state.counters["ms_p50"] = test::Percentile(stats.time_ms, 0.5);
  state.counters["ms_p95"] = test::Percentile(stats.time_ms, 0.95);
  state.counters["join_msgs_per_node"] = bootstrap_messages;
}
BENCHMARK(BM_SimulatedLookups)
    ->Args({0, 0})
    ->Args({10, 0})
    ->Args({0, 20})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace orv
