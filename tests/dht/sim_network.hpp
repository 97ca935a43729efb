// A deterministic in-memory network of DHT engines: the same engine code as
// a running node, with sessions assumed (every message may go at once),
// messages delivered after a seeded delay or lost at a seeded rate, one
// pass per engine per simulated second at staggered phases, and nodes that
// leave without a word. Single-threaded: the same seed gives the same run.
#pragma once

#include <cstdint>
#include <memory>
#include <queue>
#include <random>
#include <unordered_map>
#include <vector>

#include "crypto/byte_order.hpp"
#include "dht/dht_engine.hpp"

namespace orv::test {

struct SimConfig {
  size_t nodes = 1000;
  uint64_t seed = 1;
  uint32_t min_delay_ms = 5;
  uint32_t max_delay_ms = 80;
  double loss = 0.0;  // share of messages lost
};

class SimNetwork;

class SimClock : public DhtClock {
 public:
  uint64_t NowMs() override { return now; }
  uint64_t now = 0;
};

// What one node's last lookup came to.
struct SimLookupEnd {
  bool ended = false;
  bool found = false;
  PeerRef at;
};

class SimNode : public PayloadSender, public DhtNetwork, public DhtEvents {
 public:
  SimNode(SimNetwork& net, size_t index, const PeerRef& ref);
  int32_t SendPayload(PeerRef& target, uint32_t inner_type, const uint8_t* data, uint32_t length) override;
  int PeerPresence(const uint32_t* user_id) override;
  void UpdatePeerAddress(const PeerRef& node) override;
  void LookupEnded(const uint32_t* target, const PeerRef* found) override {
    last_end.ended = true;
    last_end.found = found != nullptr;
    if (found) last_end.at = *found;
    CopyUserId(last_target, target);
  }
  void NameFound(const uint32_t* user_id) override { names_found.emplace_back(user_id, user_id + kUserIdWords); }

  SimNetwork& net;
  size_t index;
  PeerRef ref;
  bool alive = true;
  std::vector<bool> known;  // the peers this node has a record of
  uint64_t sent = 0;
  SimLookupEnd last_end;
  uint32_t last_target[kUserIdWords] = {};
  std::vector<std::vector<uint32_t>> names_found;
  std::unique_ptr<DhtEngine> engine;
};

class SimNetwork {
 public:
  static constexpr uint32_t kBaseAddress = 0x0A000001;  // 10.0.0.1 onwards
  static constexpr uint16_t kPort = 31265;

  explicit SimNetwork(const SimConfig& config, const std::vector<std::u16string>& names = {})
      : config_(config), random_(config.seed) {
    nodes_.reserve(config.nodes);
    for (size_t i = 0; i < config.nodes; ++i) {
      PeerRef ref;
      for (uint32_t& w : ref.user_id) w = static_cast<uint32_t>(random_());
      ref.ipv4 = kBaseAddress + static_cast<uint32_t>(i);
      ref.port = kPort;
      by_id_[Key(ref.user_id)] = i;
      auto node = std::make_unique<SimNode>(*this, i, ref);
      DhtSetup setup;
      setup.own = ref;
      if (i < names.size()) setup.user_info = names[i];
      setup.sender = node.get();
      setup.network = node.get();
      setup.clock = &clock_;
      setup.events = node.get();
      node->engine = std::make_unique<DhtEngine>(setup);
      nodes_.push_back(std::move(node));
    }
  }

  size_t size() const { return nodes_.size(); }
  size_t capacity() const { return config_.nodes; }
  SimNode& node(size_t i) { return *nodes_[i]; }
  DhtEngine& engine(size_t i) { return *nodes_[i]->engine; }
  uint64_t now() const { return clock_.now; }
  uint64_t messages() const { return messages_; }
  std::mt19937_64& random() { return random_; }

  // The node starts its passes and bootstraps from `from`'s address alone.
  void Join(size_t i, size_t from) {
    SimNode& n = node(i);
    if (i != from) {
      PeerRef address = node(from).ref;
      std::fill(std::begin(address.user_id), std::end(address.user_id), 0u);
      n.engine->NoteDhtNode(address, false, nullptr);
    }
    n.engine->RequestBootstrap();
    Schedule(clock_.now + 1 + random_() % 1000, i, {}, 0);
  }

  // Joins every node from node 0, `spacing_ms` apart.
  void JoinAll(uint64_t spacing_ms) {
    for (size_t i = 0; i < size(); ++i) {
      Join(i, 0);
      RunFor(spacing_ms);
    }
  }

  void Leave(size_t i) { node(i).alive = false; }

  void RunFor(uint64_t ms) { RunUntil(clock_.now + ms); }

  void RunUntil(uint64_t end) {
    while (!events_.empty() && events_.top().at <= end) {
      Event e = events_.top();
      events_.pop();
      clock_.now = e.at;
      if (e.is_message) Deliver(e);
      else Pass(e.to);
    }
    clock_.now = end;
  }

  // Runs until `done` holds or `limit_ms` passed; true when it held.
  template <typename Done>
  bool RunWhile(Done done, uint64_t limit_ms) {
    const uint64_t end = clock_.now + limit_ms;
    while (!done()) {
      if (events_.empty() || events_.top().at > end) return false;
      RunUntil(events_.top().at);
    }
    return true;
  }

  // Sends from `from`: lost, or delivered after a delay.
  void Post(size_t from, size_t to, const uint8_t* data, uint32_t length) {
    ++messages_;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (chance(random_) < config_.loss) return;
    const uint64_t delay = config_.min_delay_ms + random_() % (config_.max_delay_ms - config_.min_delay_ms + 1);
    Schedule(clock_.now + delay, to, std::vector<uint8_t>(data, data + length), from, true);
  }

  // The node with that UserId, or -1.
  long IndexOf(const uint32_t* id) const {
    auto it = by_id_.find(Key(id));
    return it == by_id_.end() || !SameUserId(nodes_[it->second]->ref.user_id, id) ? -1 : static_cast<long>(it->second);
  }
  long IndexAt(uint32_t ipv4, uint16_t port) const {
    const uint64_t i = ipv4 - static_cast<uint64_t>(kBaseAddress);
    return port == kPort && ipv4 >= kBaseAddress && i < nodes_.size() ? static_cast<long>(i) : -1;
  }

 private:
  struct Event {
    uint64_t at;
    uint64_t seq;
    size_t to;
    size_t from;
    bool is_message;
    std::vector<uint8_t> data;
    bool operator>(const Event& o) const { return at != o.at ? at > o.at : seq > o.seq; }
  };

  static uint64_t Key(const uint32_t* id) { return (static_cast<uint64_t>(id[0]) << 32) | id[1]; }

  void Schedule(uint64_t at, size_t to, std::vector<uint8_t> data, size_t from, bool message = false) {
    events_.push(Event{at, seq_++, to, from, message, std::move(data)});
  }

  void Deliver(const Event& e) {
    SimNode& to = node(e.to);
    if (!to.alive) return;
    const PeerRef& sender = node(e.from).ref;
    to.known[e.from] = true;
    to.engine->NoteDhtNode(sender);
    to.engine->HandleDhtMessage(e.data.data(), e.data.size(), sender);
  }

  void Pass(size_t i) {
    SimNode& n = node(i);
    if (!n.alive) return;
    n.engine->DhtPass();
    Schedule(clock_.now + kDhtPassMs, i, {}, 0);
  }

  SimConfig config_;
  std::mt19937_64 random_;
  SimClock clock_;
  std::vector<std::unique_ptr<SimNode>> nodes_;
  std::unordered_map<uint64_t, size_t> by_id_;
  std::priority_queue<Event, std::vector<Event>, std::greater<Event>> events_;
  uint64_t seq_ = 0;
  uint64_t messages_ = 0;
};

inline SimNode::SimNode(SimNetwork& n, size_t i, const PeerRef& r) : net(n), index(i), ref(r), known(n.capacity()) {}

inline int32_t SimNode::SendPayload(PeerRef& target, uint32_t, const uint8_t* data, uint32_t length) {
  if (!alive) return 0;
  const long to = IsZeroUserId(target.user_id) ? net.IndexAt(target.ipv4, target.port) : net.IndexOf(target.user_id);
  if (to < 0 || static_cast<size_t>(to) == index) return 0;
  if (IsZeroUserId(target.user_id)) CopyUserId(target.user_id, net.node(static_cast<size_t>(to)).ref.user_id);
  known[static_cast<size_t>(to)] = true;
  ++sent;
  net.Post(index, static_cast<size_t>(to), data, length);
  return static_cast<int32_t>(length);
}

inline int SimNode::PeerPresence(const uint32_t* user_id) {
  const long i = net.IndexOf(user_id);
  return i >= 0 && known[static_cast<size_t>(i)] && net.node(static_cast<size_t>(i)).alive ? 1 : 0;
}

inline void SimNode::UpdatePeerAddress(const PeerRef& node) {
  const long i = net.IndexOf(node.user_id);
  if (i >= 0 && known[static_cast<size_t>(i)]) return;
  uint8_t ping[4];
  StoreLe32(ping, kDhtPing);
  PeerRef target = node;
  SendPayload(target, 0, ping, sizeof ping);
}

}  // namespace orv::test
