// Connection requests from other users, and "Connect to..." by address.
#include <gtest/gtest.h>

#include "app/main_window/main_window_inbox.hpp"
#include "app/manual_dispatcher.hpp"
#include "main_window_fixture.hpp"
#include "store/contacts.hpp"

namespace orv {
namespace {

using test::Id;
using test::MainWindowFixture;
using test::Peer;

const PeerRef kBob = Peer(0xB0B00000, 0xC0A80102, 40001);  // 192.168.1.2

TEST(ConnectionRequests, AllowedRequestIsShownAndNothingIsSent) {
  MainWindowFixture f;
  f.peers.Script(kBob, true, false, "Bob");
  f.controller.ConnectionRequestArrived(kBob);
  ASSERT_EQ(f.events.requests.size(), 1u);
  EXPECT_EQ(f.events.requests[0].text,
            "Do you accept connection request from user:\nName: Bob\n"
            "ID: B0B00000 B0B00001 B0B00002 B0B00003 B0B00004 B0B00005 B0B00006 B0B00007\n"
            "IP: 192.168.1.2\nPort: 40001");
  EXPECT_EQ(Id(f.events.requests[0].requester.user_id), Id(kBob.user_id));
  EXPECT_TRUE(f.sender.sent.empty());

  // Asked again before answering: still one dialog, at the newest address.
  PeerRef moved = kBob;
  moved.port = 40002;
  f.peers.Script(moved, true, false, "Bob");
  f.controller.ConnectionRequestArrived(moved);
  EXPECT_EQ(f.events.requests.size(), 1u);
  ASSERT_EQ(f.controller.connection_requests().size(), 1u);
  EXPECT_EQ(f.controller.connection_requests()[0].requester.port, 40002);

  // "Ok": the requester becomes an unauthorized contact under its name.
  EXPECT_EQ(f.controller.AcceptConnectionRequest(kBob.user_id), CommandResult::kDone);
  const std::optional<ContactRecord> bob = FindContact(f.store, kBob.user_id);
  ASSERT_TRUE(bob);
  EXPECT_EQ(bob->name, "Bob");
  EXPECT_EQ(bob->peer.port, 40002);
  EXPECT_FALSE(bob->authorized);
  f.saver.WaitForSigning();
  EXPECT_EQ(f.signer.signed_paths().size(), 1u);
  EXPECT_TRUE(f.controller.connection_requests().empty());
  EXPECT_TRUE(f.sender.sent.empty());
  EXPECT_EQ(f.controller.AcceptConnectionRequest(kBob.user_id), CommandResult::kUnknown);
}

TEST(ConnectionRequests, CancelSendsNothingAndAddsNobody) {
  MainWindowFixture f;
  f.controller.ConnectionRequestArrived(kBob);
  EXPECT_EQ(f.controller.DismissConnectionRequest(kBob.user_id), CommandResult::kDone);
  EXPECT_EQ(f.controller.DismissConnectionRequest(kBob.user_id), CommandResult::kUnknown);
  EXPECT_FALSE(IsContact(f.store, kBob.user_id));
  EXPECT_TRUE(f.sender.sent.empty());
  // A new request after the answer is shown again.
  f.controller.ConnectionRequestArrived(kBob);
  EXPECT_EQ(f.events.requests.size(), 2u);
}

TEST(ConnectionRequests, RefusedWithCodeTenWhenNotAllowed) {
  MainWindowFixture f;
  f.settings.AllowConnectionRequest = false;
  f.controller.ConnectionRequestArrived(kBob);
  EXPECT_TRUE(f.events.requests.empty());
  EXPECT_TRUE(f.controller.connection_requests().empty());
  ASSERT_EQ(f.sender.sent.size(), 1u);
  EXPECT_EQ(f.sender.sent[0].inner_type, 1u);
  EXPECT_EQ(f.sender.sent[0].data, (std::vector<uint8_t>{10, 0, 0, 0}));
  EXPECT_EQ(Id(f.sender.sent[0].target.user_id), Id(kBob.user_id));
  EXPECT_EQ(f.sender.sent[0].target.ipv4, kBob.ipv4);
  EXPECT_EQ(f.sender.sent[0].target.port, kBob.port);
}

TEST(ConnectionRequests, ConnectToOpensAConversationByAddress) {
  MainWindowFixture f;
  const std::optional<PeerRef> address = ParseAddressText("192.168.1.2:40001");
  ASSERT_TRUE(address);
  EXPECT_TRUE(f.controller.ConnectTo(address->ipv4, address->port));
  ASSERT_EQ(f.conversations.opened.size(), 1u);
  EXPECT_TRUE(IsZeroUserId(f.conversations.opened[0].user_id));
  EXPECT_EQ(f.conversations.opened[0].ipv4, 0xC0A80102u);
  EXPECT_EQ(f.conversations.opened[0].port, 40001);
  EXPECT_FALSE(f.controller.ConnectTo(0, 40001));
  EXPECT_EQ(f.conversations.opened.size(), 1u);

  const char* bad[] = {"192.168.1.2", "192.168.1.2:", "192.168.1.2:0", "192.168.1.2:65536", "192.168.1:5",
                       "256.1.1.1:5", "host:5", ":5"};
  for (const char* text : bad) EXPECT_FALSE(ParseAddressText(text)) << text;
}

TEST(ConnectionRequests, DoubleClickOpensTheContactsConversation) {
  MainWindowFixture f;
  f.AddStoredContact(kBob, "Bob", "Bob", true);
  f.controller.MainTick();
  EXPECT_TRUE(f.controller.OpenRow(0));
  ASSERT_EQ(f.conversations.opened.size(), 1u);
  EXPECT_EQ(Id(f.conversations.opened[0].user_id), Id(kBob.user_id));
  EXPECT_EQ(f.conversations.opened[0].port, kBob.port);
  EXPECT_FALSE(f.controller.OpenRow(1));
}

// Worker threads post; the interface thread runs the controller. Timer 1
// drives the tick.
TEST(ConnectionRequests, ReceiveThreadPostsToTheInterfaceThread) {
  MainWindowFixture f;
  f.AddStoredContact(kBob, "Bob", "Bob", true);
  ManualDispatcher dispatcher;
  MainWindowInbox inbox(dispatcher, f.controller);
  ASSERT_TRUE(inbox.StartMainTimer());
  std::thread([&] {
    inbox.PostConnectionRequest(kBob);
    inbox.PostUserFound(kBob.user_id);
  }).join();
  EXPECT_TRUE(f.events.requests.empty());
  dispatcher.RunPending();
  EXPECT_EQ(f.events.requests.size(), 1u);
  EXPECT_EQ(f.locator.located.size(), 1u);

  dispatcher.AdvanceTime(20000);
  EXPECT_EQ(f.controller.rows().size(), 1u);
  EXPECT_TRUE(f.locator.pinged.empty());
  dispatcher.AdvanceTime(1000);
  EXPECT_EQ(f.locator.pinged.size(), 1u);
  inbox.StopMainTimer();
  dispatcher.AdvanceTime(31000);
  EXPECT_EQ(f.locator.pinged.size(), 1u);
}

}  // namespace
}  // namespace orv
