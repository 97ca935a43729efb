// Handshake workers that wait for the password while the rest goes on.
#include <gtest/gtest.h>

#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::Node;

// Alice calls Bob; Bob's answering worker sits at the password prompt,
// holding Bob's peer lock for Alice.
struct PromptOpen {
  Node a{Alice()};
  Node b{Bob()};
  PromptOpen() {
    b.host.OpenSlowPrompt();
    EXPECT_EQ(a.Send(b.Ref(), 0, {1}), 0);
    EXPECT_TRUE(test::WaitFor([&] { return b.host.WaitingPrompts() == 1; }));
  }
  ~PromptOpen() { b.host.CloseSlowPrompt(); }
};

TEST(Worker, AWorkerAtThePromptMakesThePeerBusyWithoutStallingTheNode) {
  PromptOpen p;
  EXPECT_TRUE(p.b.Status(p.a.id())->setup_busy);
  // Alice's request, resent after a second, meets "busy", which pushes her
  // next resend two seconds on.
  p.a.Tick(11);
  EXPECT_EQ(p.a.host.CountLogs("Again send session request"), 1u);
  ASSERT_TRUE(test::WaitFor([&] { return p.b.host.CountTraces(PacketDirection::kSent, kBusy) == 5; }));
  ASSERT_TRUE(test::WaitFor([&] { return p.a.Status(p.b.id())->received_control == 1 + 5; }));
  p.a.Tick(20);
  EXPECT_EQ(p.a.host.CountLogs("Again send session request"), 1u);
  p.a.Tick();
  EXPECT_EQ(p.a.host.CountLogs("Again send session request"), 2u);
  // Bob's ticks and queries go on meanwhile.
  p.b.Tick(400);
  EXPECT_EQ(GetPeerPresence(*p.b.endpoint, p.a.id()), 0);
  // Once the password is there, the handshake completes.
  p.b.host.CloseSlowPrompt();
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
}

TEST(Worker, RestartDoesNotWaitForAWorkerAtThePromptAndItsSetupGoes) {
  PromptOpen p;
  p.b.host.RefusePassword(true);
  RestartNetwork(*p.b.endpoint);  // returns although the worker holds the peer lock
  p.b.host.RefusePassword(false);
  EXPECT_FALSE(p.b.Connected(p.a.id()));
  p.b.host.CloseSlowPrompt();
  ASSERT_TRUE(p.b.WaitIdle());
  EXPECT_EQ(p.b.State(p.a.id()), -1);
  EXPECT_EQ(p.b.host.CountLogs("Wait confirmation"), 0u);
  EXPECT_EQ(p.b.host.CountTraces(PacketDirection::kSent, kSesResponse), 0u);
  // Alice gives up her call; Bob, free again, answered one of her resent
  // requests meanwhile. Her next call meets that answer and completes.
  p.a.Tick(11 * 101);
  EXPECT_EQ(p.a.State(p.b.id()), -1);
  ASSERT_TRUE(p.b.host.WaitForLog("Wait confirmation"));
  ASSERT_TRUE(p.b.WaitIdle());
  EXPECT_EQ(p.a.Send(p.b.Ref(), 0, {1}), 0);
  ASSERT_TRUE(p.a.WaitConnected(p.b.id()));
  ASSERT_TRUE(p.b.WaitConnected(p.a.id()));
}

TEST(Worker, ClosingWaitsForTheWorkerAndFreesEverything) {
  PromptOpen p;
  std::thread closer([&] { CloseEndpoint(*p.b.endpoint); });
  // The worker finishes once the prompt closes, and so does the close.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  p.b.host.CloseSlowPrompt();
  closer.join();
  EXPECT_EQ(p.b.endpoint->workers.Running(), 0u);
  EXPECT_TRUE(ListPeers(*p.b.endpoint).empty());
}

}  // namespace
}  // namespace orv
