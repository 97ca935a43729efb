// Lookups of random users on a simulated network, one after another, and
// what each cost: passes of the locating node, messages it sent, find_node
// queries of the lookup, simulated time.
#pragma once

#include <algorithm>
#include <vector>

#include "dht/sim_network.hpp"

namespace orv::test {

struct SimLookupStats {
  size_t tried = 0;
  size_t succeeded = 0;
  std::vector<double> passes;
  std::vector<double> messages;
  std::vector<double> queries;
  std::vector<double> time_ms;

  double SuccessRate() const { return tried ? static_cast<double>(succeeded) / static_cast<double>(tried) : 0; }
};

inline double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
  return values[at];
}

inline size_t RandomAlive(SimNetwork& net) {
  for (;;) {
    const size_t i = net.random()() % net.size();
    if (net.node(i).alive) return i;
  }
}

// One lookup of `target` by `source`; true when it found the target's node.
inline bool SimLocate(SimNetwork& net, size_t source, size_t target, SimLookupStats& stats,
                      uint64_t limit_ms = 60000) {
  SimNode& a = net.node(source);
  const SimNode& t = net.node(target);
  const uint32_t passes = a.engine->Counts().passes;
  const uint64_t sent = a.sent;
  const uint64_t start = net.now();
  a.last_end = {};
  ++stats.tried;
  PeerRef out;
  bool found = a.engine->LocateUser(t.ref.user_id, &out);
  uint32_t queries = 0;
  if (!found) {
    net.RunWhile([&] { return a.last_end.ended; }, limit_ms);
    found = a.last_end.found;
    out = a.last_end.at;
    queries = a.engine->CurrentLookup().queries;
  }
  found = found && SameUserId(out.user_id, t.ref.user_id) && SameAddress(out, t.ref);
  stats.succeeded += found;
  stats.passes.push_back(static_cast<double>(a.engine->Counts().passes - passes));
  stats.messages.push_back(static_cast<double>(a.sent - sent));
  stats.queries.push_back(queries);
  stats.time_ms.push_back(static_cast<double>(net.now() - start));
  return found;
}

inline SimLookupStats SimLookups(SimNetwork& net, size_t count) {
  SimLookupStats stats;
  for (size_t k = 0; k < count; ++k) {
    const size_t source = RandomAlive(net);
    size_t target = RandomAlive(net);
    while (target == source) target = RandomAlive(net);
    SimLocate(net, source, target, stats);
  }
  return stats;
}

}  // namespace orv::test
