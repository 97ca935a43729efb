// The rows of the "Network List" and "Kademlia List" windows, the refresh
// rule they and the Find dialog share, and the rows' popup menu.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "app/tool_lists/kademlia_list.hpp"
#include "app/tool_lists/list_refresh.hpp"
#include "app/tool_lists/network_list.hpp"
#include "app/tool_lists/tool_list_menu.hpp"
#include "identity/key_file.hpp"
#include "support/recording_tool_list_commands.hpp"
#include "tool_lists_fixture.hpp"

namespace orv {
namespace {

using test::NodeIn;
using test::PeerAt;

constexpr uint32_t kLan = 0xC0A80105;  // 192.168.1.5

class ListRows : public test::ToolListsFixture {};

TEST_F(ListRows, NetworkListShowsEveryPeerInTableOrderWithItsState) {
  const PeerRef alice = PeerAt(0x100, kLan, 31265);
  const PeerRef bob = PeerAt(0x200, 0x0A000001, 4000);
  const PeerRef carol = PeerAt(0x300, 0x0A000002, 4001);
  const PeerRef dave = PeerAt(0x400, 0x0A000003, 4002);
  AddPeer(alice, u"Alice", true).sent_without_reply = 0;
  AddPeer(bob, u"Bob").sent_without_reply = 3;
  PeerRecord& calling = AddPeer(carol, u"Carol");
  calling.setup = NewSessionSetup();
  calling.setup->state = kSesRequesting;
  calling.sent_without_reply = 2;
  PeerRecord& answering = AddPeer(dave, u"<unknown>");
  answering.setup = NewSessionSetup();
  answering.setup->state = kWaitConfirmation;
  AddContact(alice, true);
  AddContact(carol, false);

  const std::vector<ToolListRow> rows = NetworkListRows(sources, {});
  ASSERT_EQ(rows.size(), 4u);
  struct Want {
    const char* name;
    const char* ip;
    const char* port;
    const char* status;
    int image;
  } want[] = {
      {"Alice", "192.168.1.5", "31265", "Connected 0", 0},  // authorized contact
      {"Bob", "10.0.0.1", "4000", "Not connected 3", 2},
      {"Carol", "10.0.0.2", "4001", "Ses requesting 2", 2},  // a contact, not authorized
      {"<unknown>", "10.0.0.3", "4002", "Wait confirmation 0", 2},
  };
  const PeerRef refs[] = {alice, bob, carol, dave};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].name, want[i].name);
    EXPECT_EQ(rows[i].ip_text, want[i].ip);
    EXPECT_EQ(rows[i].port_text, want[i].port);
    EXPECT_EQ(rows[i].status, want[i].status);
    EXPECT_EQ(rows[i].image, want[i].image) << i;
    EXPECT_EQ(rows[i].id_text, UserIdText(refs[i].user_id));
    ASSERT_TRUE(rows[i].peer);
    EXPECT_TRUE(SameUserId(rows[i].peer->user_id, refs[i].user_id));
  }
}

// While a handshake worker holds a peer's setup its state cannot be read:
// the row keeps what it showed.
TEST_F(ListRows, NetworkListKeepsTheStatusOfAPeerWhoseSetupIsBusy) {
  const PeerRef carol = PeerAt(0x300, 0x0A000002, 4001);
  PeerRecord& record = AddPeer(carol, u"Carol");
  record.setup = NewSessionSetup();
  record.setup->state = kSesConfirmation;
  const std::vector<ToolListRow> before = NetworkListRows(sources, {});
  ASSERT_EQ(before[0].status, "Ses confirmation 0");

  std::promise<void> held, release;
  std::thread worker([&] {
    std::lock_guard<std::mutex> peer(record.peer_lock);
    held.set_value();
    release.get_future().wait();
  });
  held.get_future().wait();
  const std::vector<ToolListRow> during = NetworkListRows(sources, before);
  const std::vector<ToolListRow> fresh = NetworkListRows(sources, {});
  release.set_value();
  worker.join();
  EXPECT_EQ(during[0].status, "Ses confirmation 0");
  EXPECT_EQ(fresh[0].status, "");
}

TEST_F(ListRows, KademliaListHasAGroupRowPerBucketFollowedByItsNodes) {
  const PeerRef online = NodeIn(3, 1);
  const PeerRef away = NodeIn(3, 2);
  const PeerRef told = NodeIn(200, 7);
  const PeerRef stranger = NodeIn(255, 9);
  AddNode(online);
  AddNode(away);
  AddNode(told, false);
  AddNode(stranger);
  Hear(away);
  AddPeer(online, u"Olga", true);
  AddPeer(away, u"Abe", true, true);
  AddPeer(stranger, u"Stan", true);
  AddContact(online, true);
  AddContact(away, true);
  AddContact(told, true);

  const std::vector<ToolListRow> rows = KademliaListRows(sources);
  ASSERT_EQ(rows.size(), 256u + 4u);
  EXPECT_EQ(rows[0].name, "Group 0");
  EXPECT_EQ(rows[0].image, kNoRowImage);
  EXPECT_FALSE(rows[0].peer);
  EXPECT_EQ(rows[0].id_text, "");
  EXPECT_EQ(rows[3].name, "Group 3");
  // Bucket 3 in list order: the node heard again is at the head.
  EXPECT_EQ(rows[4].name, "Abe");
  EXPECT_EQ(rows[4].status, "Responded 0");
  EXPECT_EQ(rows[4].image, 1);  // authorized, connected but away
  EXPECT_EQ(rows[5].name, "Olga");
  EXPECT_EQ(rows[5].status, "Unknown 0");
  EXPECT_EQ(rows[5].image, 0);  // authorized, connected and online
  EXPECT_EQ(rows[5].id_text, UserIdText(online.user_id));
  EXPECT_EQ(rows[5].ip_text, "10.0.3.1");
  EXPECT_EQ(rows[5].port_text, "40001");
  EXPECT_EQ(rows[6].name, "Group 4");
  EXPECT_EQ(rows[202].name, "Group 200");
  EXPECT_EQ(rows[203].name, "<unknown>");  // the network layer does not know it
  EXPECT_EQ(rows[203].status, "Unknown 0");
  EXPECT_EQ(rows[203].image, 1);  // authorized, not connected
  EXPECT_EQ(rows[258].name, "Group 255");
  EXPECT_EQ(rows[259].name, "Stan");
  EXPECT_EQ(rows[259].image, 2);  // connected, but no contact
}

TEST(KademliaRows, StatusNamesTheStrongestStateBitAndThePingCount) {
  struct Case {
    uint32_t state, pings;
    const char* status;
  } cases[] = {
      {0, 0, "Unknown 0"},
      {kNodePinged, 4, "Pinged 4"},
      {kNodePinged | kNodeResponded, 1, "Responded 1"},
      {kNodeResponded, 0, "Responded 0"},
  };
  for (const Case& c : cases) {
    DhtNodeView view;
    view.bucket = 9;
    view.node.ref = NodeIn(9, 1);
    view.node.state = c.state;
    view.node.ping_count = c.pings;
    const std::vector<ToolListRow> rows = KademliaListRows({view}, {}, {});
    ASSERT_EQ(rows.size(), 257u);
    EXPECT_EQ(rows[10].status, c.status);
    EXPECT_EQ(rows[10].image, 2);
  }
}

ToolListRow UserRow(uint32_t seed, const std::string& name) {
  return MakePeerRow(PeerAt(seed, kLan, 1), name, "", 2);
}

ToolListRow HeaderRow(const std::string& name) {
  ToolListRow row;
  row.name = name;
  return row;
}

TEST(ListRefresh, RowsAreRewrittenByPositionAndTheSelectionFollowsItsUser) {
  const std::vector<ToolListRow> shown = {UserRow(1, "a"), UserRow(2, "b"), UserRow(3, "c")};
  // A new peer comes first: every row moves down one place.
  const std::vector<ToolListRow> rows = {UserRow(9, "z"), UserRow(1, "a"), UserRow(2, "b"), UserRow(3, "c")};
  RefreshPlan plan = PlanRefresh(shown, 1, rows);
  EXPECT_EQ(plan.rewrite, (std::vector<size_t>{0, 1, 2, 3}));
  EXPECT_EQ(plan.keep, 4u);
  EXPECT_EQ(plan.selection, 2u);

  // Rows that did not change are left alone; surplus rows go.
  plan = PlanRefresh(rows, 3, {UserRow(9, "z"), UserRow(3, "c")});
  EXPECT_EQ(plan.rewrite, (std::vector<size_t>{1}));
  EXPECT_EQ(plan.keep, 2u);
  EXPECT_EQ(plan.selection, 1u);

  // The selected user left: nothing is selected.
  plan = PlanRefresh(shown, 1, {UserRow(1, "a"), UserRow(3, "c")});
  EXPECT_FALSE(plan.selection);
  // Nothing was selected.
  EXPECT_FALSE(PlanRefresh(shown, std::nullopt, shown).selection);
  EXPECT_TRUE(PlanRefresh(shown, std::nullopt, shown).rewrite.empty());
}

TEST(ListRefresh, ASelectedRowWithoutUserIdStaysWhereItIs) {
  const std::vector<ToolListRow> shown = {HeaderRow("Group 0"), UserRow(1, "a"), HeaderRow("Group 1")};
  const std::vector<ToolListRow> rows = {HeaderRow("Group 0"), UserRow(1, "a"), UserRow(2, "b"),
                                         HeaderRow("Group 1")};
  EXPECT_EQ(PlanRefresh(shown, 2, rows).selection, 2u);
  EXPECT_FALSE(PlanRefresh(shown, 2, {HeaderRow("Group 0")}).selection);
}

using RecordingCommands = test::RecordingToolListCommands;

TEST(ToolListMenu, RowsWithAUserIdOfferTheFourItemsAndOpenAChat) {
  const std::optional<std::vector<ToolListMenuItem>> items = ToolListMenuFor(UserRow(5, "e"));
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 4u);
  const std::pair<const char*, uint32_t> want[] = {
      {"Add to favorite list", 1021}, {"Send file", 1023}, {"Ping", 1032}, {"Info", 1034}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ((*items)[i].text, want[i].first);
    EXPECT_EQ(static_cast<uint32_t>((*items)[i].command), want[i].second);
  }
  RecordingCommands commands;
  EXPECT_TRUE(OpenRowChat(commands, UserRow(5, "e")));
  ASSERT_EQ(commands.opened.size(), 1u);
  EXPECT_TRUE(SameUserId(commands.opened[0].user_id, PeerAt(5, 0, 0).user_id));
  EXPECT_EQ(commands.opened[0].port, 1);

  // A bucket header has neither.
  EXPECT_FALSE(ToolListMenuFor(HeaderRow("Group 7")));
  EXPECT_FALSE(OpenRowChat(commands, HeaderRow("Group 7")));
  EXPECT_EQ(commands.opened.size(), 1u);
}

// With no engines (before the start-up made them, after the shutdown) the
// windows read empty lists and their commands do nothing.
TEST(EngineToolLists, MissingEnginesReadAsEmpty) {
  EngineToolListSources sources{ToolListEngines{}};
  EXPECT_TRUE(NetworkListRows(sources, {}).empty());
  EXPECT_EQ(KademliaListRows(sources).size(), 256u);
  EXPECT_FALSE(sources.LocateUser(PeerAt(1, 0, 0).user_id));
  EXPECT_FALSE(sources.FindUserByName(u"red"));
  sources.SearchByName(u"red");
  EngineToolListCommands commands{ToolListEngines{}};
  commands.RunCommand(PeerAt(1, 0, 0), ToolListCommand::kPing);
  commands.RunCommand(PeerAt(1, 0, 0), ToolListCommand::kInfo);
  commands.OpenChat(PeerAt(1, 0, 0));
}

}  // namespace
}  // namespace orv
