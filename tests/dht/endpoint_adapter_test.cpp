// The DHT's view of the real endpoint, and the engine's own thread.
#include <gtest/gtest.h>

#include "dht/dht_fixture.hpp"
#include "dht/endpoint_dht_network.hpp"
#include "net/net_fixture.hpp"

namespace orv::test {
namespace {

// An endpoint without a key: a bound socket, no threads, no handshakes.
std::unique_ptr<NetworkEndpoint> KeylessEndpoint(FakeHost& host) { return test::OpenLoopbackEndpoint(host); }

TEST(EndpointDhtNetwork, PresenceNeverWaitsForThePeerTableLock) {
  FakeHost host(nullptr);
  auto endpoint = KeylessEndpoint(host);
  EndpointDhtNetwork network(*endpoint);
  const PeerRef peer = NodeIn(120, 1);
  EXPECT_EQ(network.PeerPresence(peer.user_id), 0);
  {
    std::lock_guard<std::mutex> table(endpoint->table_lock);
    PeerRecord* record = FindPeer(*endpoint, peer.user_id, true, &peer);
    ASSERT_NE(record, nullptr);
    record->connected = true;
    // Held here, as by a thread that holds it while the engine asks: the
    // answer is "cannot tell" at once, and the engine keeps the address.
    EXPECT_EQ(network.PeerPresence(peer.user_id), -1);
  }
  EXPECT_EQ(network.PeerPresence(peer.user_id), 1);
  CloseEndpoint(*endpoint);
}

TEST(EndpointDhtNetwork, NodeNamedByOthersKeepsItsAddressWhileTheTableIsBusy) {
  FakeHost host(nullptr);
  auto endpoint = KeylessEndpoint(host);
  EndpointDhtNetwork network(*endpoint);
  RecordingSender sender;
  ManualClock clock;
  DhtSetup setup;
  setup.own = OwnRef();
  setup.sender = &sender;
  setup.network = &network;
  setup.clock = &clock;
  DhtEngine engine(setup);
  const PeerRef node = NodeIn(120, 1);
  engine.NoteDhtNode(node, false, nullptr);
  PeerRef moved = node;
  moved.port = 999;
  {
    // The network file loader notes nodes under the store lock, which comes
    // after the table lock: the engine must not wait for the table here.
    std::lock_guard<std::mutex> table(endpoint->table_lock);
    engine.NoteDhtNode(moved, false, nullptr);
  }
  PeerRef out;
  ASSERT_TRUE(engine.LocateUser(node.user_id, &out));
  EXPECT_EQ(out.port, node.port);
  engine.NoteDhtNode(moved, false, nullptr);
  ASSERT_TRUE(engine.LocateUser(node.user_id, &out));
  EXPECT_EQ(out.port, 999);
  CloseEndpoint(*endpoint);
}

TEST(DhtThread, StartsAndStopsWithoutWaitingForAPass) {
  RecordingSender sender;
  FakeDhtNetwork network;
  ManualClock clock;
  DhtSetup setup;
  setup.own = OwnRef();
  setup.sender = &sender;
  setup.network = &network;
  setup.clock = &clock;
  auto engine = std::make_unique<DhtEngine>(setup);
  engine->StartThread();
  engine->StartThread();  // a second start is ignored
  engine->StopThread();
  engine->StartThread();
  engine.reset();  // destruction stops and joins it
  SUCCEED();
}

}  // namespace
}  // namespace orv::test
