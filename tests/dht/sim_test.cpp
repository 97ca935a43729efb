// The simulated network of a thousand engines: bootstrap from one node,
// then lookups of random users, with and without loss and departures.
#include <gtest/gtest.h>

#include <cstdio>

#include "dht/sim_lookups.hpp"

namespace orv::test {
namespace {

constexpr size_t kSimNodes = 1000;
constexpr size_t kSimLookups = 60;

void Report(const char* name, const SimLookupStats& s) {
  std::printf("%s: %zu/%zu found (%.1f%%); median/p95 passes %.0f/%.0f, messages %.0f/%.0f, queries %.0f/%.0f, "
              "time %.0f/%.0f ms\n",
              name, s.succeeded, s.tried, 100 * s.SuccessRate(), Percentile(s.passes, 0.5), Percentile(s.passes, 0.95),
              Percentile(s.messages, 0.5), Percentile(s.messages, 0.95), Percentile(s.queries, 0.5),
              Percentile(s.queries, 0.95), Percentile(s.time_ms, 0.5), Percentile(s.time_ms, 0.95));
}

struct SimCase {
  const char* name;
  double loss;
  double leaving;
  double min_success;
};

class SimLookupTest : public ::testing::TestWithParam<SimCase> {};

TEST_P(SimLookupTest, RandomUsersAreLocatedAfterBootstrapFromOneNode) {
  const SimCase c = GetParam();
  SimConfig config;
  config.nodes = kSimNodes;
  config.seed = 7;
  config.loss = c.loss;
  SimNetwork net(config);
  net.JoinAll(10);
  net.RunFor(20000);
  for (size_t i = 1; i < net.size(); ++i)
    if (net.random()() % 1000 < static_cast<uint64_t>(c.leaving * 1000)) net.Leave(i);
  const SimLookupStats stats = SimLookups(net, kSimLookups);
  Report(c.name, stats);
  EXPECT_GE(stats.SuccessRate(), c.min_success);
  // Every lookup ended: none hangs on silent nodes.
  for (double t : stats.time_ms) EXPECT_LT(t, 60000);
}

INSTANTIATE_TEST_SUITE_P(Networks, SimLookupTest,
                         ::testing::Values(SimCase{"reliable", 0.0, 0.0, 0.98}, SimCase{"loss10", 0.10, 0.0, 0.95},
                                           SimCase{"leaving20", 0.0, 0.20, 0.95}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace orv::test
