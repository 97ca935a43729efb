// Eight complete nodes on 127.0.0.1 in one process, each with its DHT
// engine wired to its endpoint: they bootstrap from the first node's
// address alone, then every node locates every other by UserId, and a name
// one node publishes is found by another. Passes and retry ticks are driven
// here; only real delivery and handshakes are waited for, within bounds.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>

#include "dht/dht_fixture.hpp"
#include "dht/endpoint_dht_network.hpp"
#include "net/net_fixture.hpp"

namespace orv::test {
namespace {

constexpr size_t kSocketNodes = 8;
// Handshakes take seconds each under the sanitizers on a busy machine.
constexpr auto kSocketTestLimit = std::chrono::seconds(300);

const std::u16string kNames[kSocketNodes] = {u"Alice Smith", u"Bob Jones",  u"Carol White", u"Dave Brown",
                                             u"Erin Green",  u"Frank Black", u"Grace Hall", u"Heidi King"};

class ThreadSafeEvents : public DhtEvents {
 public:
  void LookupEnded(const uint32_t*, const PeerRef* found) override {
    if (!found) return;
    std::lock_guard<std::mutex> g(lock_);
    located_.emplace(found->user_id, found->user_id + kUserIdWords);
  }
  void NameFound(const uint32_t* user_id) override {
    std::lock_guard<std::mutex> g(lock_);
    names_.emplace(user_id, user_id + kUserIdWords);
  }
  bool Located(const uint32_t* id) {
    std::lock_guard<std::mutex> g(lock_);
    return located_.count({id, id + kUserIdWords}) > 0;
  }
  bool NameFoundFor(const uint32_t* id) {
    std::lock_guard<std::mutex> g(lock_);
    return names_.count({id, id + kUserIdWords}) > 0;
  }

 private:
  std::mutex lock_;
  std::set<std::vector<uint32_t>> located_;
  std::set<std::vector<uint32_t>> names_;
};

// A Node of the network fixture with its DHT engine as the endpoint's DHT
// consumer.
struct DhtNodeUnderTest {
  DhtNodeUnderTest(const TestIdentity& identity, const std::u16string& name)
      : node(identity), sender(*node.endpoint), network(*node.endpoint) {
    DhtSetup setup;
    setup.own = node.Ref();
    setup.user_info = name;
    setup.sender = &sender;
    setup.network = &network;
    setup.clock = &clock;
    setup.events = &events;
    engine = std::make_unique<DhtEngine>(setup);
    engine->SetContactObserver(&node.consumers);
    NetworkConsumers set = node.consumers.Set();
    set.dht_nodes = engine.get();
    set.dht_messages = engine.get();
    SetNetworkConsumers(*node.endpoint, set);
  }
  ~DhtNodeUnderTest() { SetNetworkConsumers(*node.endpoint, node.consumers.Set()); }

  Node node;
  EndpointPayloadSender sender;
  EndpointDhtNetwork network;
  SteadyDhtClock clock;
  ThreadSafeEvents events;
  std::unique_ptr<DhtEngine> engine;
};

const TestIdentity& IdentityOf(size_t i) {
  static std::vector<std::unique_ptr<TestIdentity>> ids;
  static std::mutex lock;
  std::lock_guard<std::mutex> g(lock);
  while (ids.size() <= i) {
    const size_t k = ids.size();
    ids.push_back(MakeIdentity(kNames[k], "password " + std::to_string(k), k));
  }
  return *ids[i];
}

class DhtSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < kSocketNodes; ++i) nodes.push_back(std::make_unique<DhtNodeUnderTest>(IdentityOf(i), kNames[i]));
    const PeerRef first = AddressOnly(kLoopback, nodes[0]->node.port());
    for (size_t i = 1; i < kSocketNodes; ++i) nodes[i]->engine->NoteDhtNode(first, false, nullptr);
    for (auto& n : nodes) n->engine->RequestBootstrap();
    end = std::chrono::steady_clock::now() + kSocketTestLimit;
  }

  // One round: a DHT pass and a retry tick everywhere, then a short wait
  // for what they sent to arrive. False once the time is up.
  bool Round() {
    for (auto& n : nodes) {
      n->engine->DhtPass();
      n->node.Tick();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return std::chrono::steady_clock::now() < end;
  }

  bool EveryoneLocated() {
    bool all = true;
    for (size_t i = 0; i < kSocketNodes; ++i) {
      for (size_t j = 0; j < kSocketNodes; ++j) {
        if (i == j) continue;
        const uint32_t* id = nodes[j]->node.id();
        PeerRef out;
        if (nodes[i]->events.Located(id)) continue;
        if (nodes[i]->engine->LocateUser(id, &out) && out.port == nodes[j]->node.port()) continue;
        all = false;
      }
    }
    return all;
  }

  std::vector<std::unique_ptr<DhtNodeUnderTest>> nodes;
  std::chrono::steady_clock::time_point end;
};

// The key of a name's first word.
std::vector<uint32_t> FirstWordKey(const std::u16string& name) {
  KeywordSlot slots[kKeywordSlots];
  KeywordKeys(name, slots);
  return {slots[0].key, slots[0].key + kUserIdWords};
}

// True when node 0 is among the three nodes closest to `key`, leaving out
// node `except` (the one asking or storing).
bool FirstNodeHolds(const std::vector<std::unique_ptr<DhtNodeUnderTest>>& nodes, const uint32_t* key, size_t except) {
  size_t closer = 0;
  for (size_t i = 1; i < nodes.size(); ++i)
    if (i != except && CloserTo(key, nodes[i]->node.id(), nodes[0]->node.id())) ++closer;
  return closer < kSlotClosest;
}

TEST_F(DhtSocketTest, NodesBootstrapFromOneAddressThenFindEachOtherByIdAndByName) {
  bool located = false;
  size_t rounds = 0;
  while (!(located = EveryoneLocated()) && Round()) ++rounds;
  const size_t located_rounds = rounds;
  EXPECT_TRUE(located) << "after " << rounds << " rounds";

  // A searcher and a publisher whose keyword's closest nodes include the
  // first node, with which both have a session already: the search then
  // waits for no handshake beyond the bootstrap's.
  size_t publisher = 2, searcher = 5;
  for (size_t p = 1; p < kSocketNodes; ++p) {
    const auto key = FirstWordKey(kNames[p]);
    if (!FirstNodeHolds(nodes, key.data(), p)) continue;
    for (size_t s = 1; s < kSocketNodes; ++s) {
      if (s != p && FirstNodeHolds(nodes, key.data(), s)) {
        publisher = p;
        searcher = s;
      }
    }
  }
  const std::u16string first_word = kNames[publisher].substr(0, kNames[publisher].find(u' '));
  nodes[searcher]->engine->SearchByName(first_word);
  const uint32_t* wanted = nodes[publisher]->node.id();
  bool found = false;
  while (!(found = nodes[searcher]->events.NameFoundFor(wanted)) && Round()) ++rounds;
  EXPECT_TRUE(found) << "after " << rounds << " rounds";
  std::printf("every node located after %zu rounds, the name found after %zu\n", located_rounds, rounds);
}

}  // namespace
}  // namespace orv::test
