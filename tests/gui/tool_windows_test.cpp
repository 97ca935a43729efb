// The network tool windows on the offscreen platform: the lists' columns,
// the refresh that keeps the selection on its user, the close boxes, the
// "Find user" window's search, and the rows' menu and double click.
#include "gui/tool_windows.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui/main_window.hpp"
#include "identity/key_file.hpp"
#include "support/recording_tool_list_commands.hpp"

namespace orv {
namespace {

PeerRef PeerOf(uint32_t seed, uint32_t ipv4 = 0x0A000001, uint16_t port = 31265) {
  PeerRef p;
  for (uint32_t i = 0; i < kUserIdWords; ++i) p.user_id[i] = seed + i;
  p.ipv4 = ipv4;
  p.port = port;
  return p;
}

PeerStatus PeerNamed(uint32_t seed, const std::string& name) {
  PeerStatus peer;
  peer.ref = PeerOf(seed);
  peer.name = name;
  peer.connected = true;
  return peer;
}

// The engines as a script.
class ScriptedSources final : public ToolListSources {
 public:
  std::vector<PeerStatus> Peers() override { return peers; }
  std::vector<DhtNodeView> DhtNodes() override { return nodes; }
  std::vector<ContactRecord> Contacts() override { return {}; }
  bool LocateUser(const uint32_t*) override { return false; }
  bool FindUserByName(std::u16string_view) override {
    ++name_searches;
    return false;
  }
  void SearchByName(std::u16string_view) override {}

  std::vector<PeerStatus> peers;
  std::vector<DhtNodeView> nodes;
  int name_searches = 0;
};

using RecordingCommands = test::RecordingToolListCommands;

std::string ItemId(const ToolListView* list, int row) { return list->topLevelItem(row)->text(4).toStdString(); }

struct ToolWindowsTest : ::testing::Test {
  ToolWindowsTest() { sources.peers = {PeerNamed(0x100, "Alice"), PeerNamed(0x200, "Bob"), PeerNamed(0x300, "Carol")}; }
  ScriptedSources sources;
  RecordingCommands commands;
  ToolWindows tools{sources, commands};
};

TEST_F(ToolWindowsTest, NetworkListShowsTheColumnsAndKeepsTheSelectionOnItsUser) {
  tools.Open(AppWindow::kNetwork, false);  // the start-up makes it hidden
  ToolListWindow* window = tools.network();
  ASSERT_TRUE(window);
  EXPECT_FALSE(window->isVisible());
  tools.Open(AppWindow::kNetwork, true);  // "Show n&etwork window"
  EXPECT_EQ(tools.network(), window);
  ASSERT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Network List");
  EXPECT_EQ(window->minimumSize(), QSize(kToolListMinWidth, kToolListMinHeight));

  ToolListView* list = window->list();
  const QStringList columns = {"Name", "IP", "Port", "Status", "ID"};
  for (int c = 0; c < columns.size(); ++c) {
    EXPECT_EQ(list->headerItem()->text(c), columns[c]);
    EXPECT_EQ(list->columnWidth(c), c == 4 ? 500 : 100);
  }
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(1)->text(0), "Bob");
  EXPECT_EQ(list->topLevelItem(1)->text(1), "10.0.0.1");
  EXPECT_EQ(list->topLevelItem(1)->text(2), "31265");
  EXPECT_EQ(list->topLevelItem(1)->text(3), "Connected 0");
  EXPECT_EQ(ItemId(list, 1), UserIdText(PeerOf(0x200).user_id));

  list->SelectRow(1);  // Bob
  // Two peers come before Bob and Carol goes: Bob's row moves down.
  sources.peers = {PeerNamed(0x500, "Eve"), PeerNamed(0x400, "Dan"), PeerNamed(0x100, "Alice"),
                   PeerNamed(0x200, "Bob")};
  window->Refresh();
  ASSERT_EQ(list->topLevelItemCount(), 4);
  ASSERT_EQ(list->SelectedRow(), 3u);
  EXPECT_EQ(list->topLevelItem(3)->text(0), "Bob");
  EXPECT_EQ(list->selectedItems().size(), 1);
  EXPECT_EQ(list->currentItem(), list->topLevelItem(3));
  // Fewer rows: the surplus goes, Bob keeps the selection.
  sources.peers = {PeerNamed(0x200, "Bob")};
  window->Refresh();
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->SelectedRow(), 0u);
  // Bob goes: nobody is selected in his place.
  sources.peers = {PeerNamed(0x100, "Alice")};
  window->Refresh();
  EXPECT_EQ(list->topLevelItem(0)->text(0), "Alice");
  EXPECT_FALSE(list->SelectedRow());
}

TEST_F(ToolWindowsTest, TheCloseBoxHidesTheListsAndTheMainWindowOpensAndClosesThem) {
  MainWindow main(MainWindowActions{});
  main.SetToolWindow(AppWindow::kKademlia, tools.kademlia_tool());
  main.OpenAppWindow(AppWindow::kKademlia, true);
  ToolListWindow* window = tools.kademlia();
  ASSERT_TRUE(window && window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Kademlia List");
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(tools.kademlia(), window);  // hidden, not gone
  main.OpenAppWindow(AppWindow::kKademlia, true);
  EXPECT_EQ(tools.kademlia(), window);
  EXPECT_TRUE(window->isVisible());
  // The shutdown destroys it.
  main.CloseAppWindow(AppWindow::kKademlia);
  EXPECT_EQ(tools.kademlia(), nullptr);
}

TEST_F(ToolWindowsTest, KademliaGroupRowsOfferNoMenuAndNodeRowsDo) {
  DhtNodeView view;
  view.bucket = 1;
  view.node.ref = PeerOf(0x700);
  sources.nodes = {view};
  tools.Open(AppWindow::kKademlia, true);
  ToolListView* list = tools.kademlia()->list();
  ASSERT_EQ(list->topLevelItemCount(), 257);
  EXPECT_EQ(list->topLevelItem(1)->text(0), "Group 1");
  EXPECT_TRUE(list->topLevelItem(1)->icon(0).isNull());
  EXPECT_EQ(list->topLevelItem(2)->text(0), "<unknown>");
  EXPECT_FALSE(list->topLevelItem(2)->icon(0).isNull());

  EXPECT_FALSE(tools.kademlia()->RunRowCommand(1, ToolListCommand::kPing));
  EXPECT_TRUE(tools.kademlia()->RunRowCommand(2, ToolListCommand::kPing));
  ASSERT_EQ(commands.run.size(), 1u);
  EXPECT_EQ(commands.run[0].second, ToolListCommand::kPing);
  EXPECT_TRUE(SameUserId(commands.run[0].first.user_id, PeerOf(0x700).user_id));

  // A double click opens the chat with the row's user; on a header, nothing.
  auto double_click = [list](int row) { Q_EMIT list->itemDoubleClicked(list->topLevelItem(row), 0); };
  double_click(2);
  ASSERT_EQ(commands.opened.size(), 1u);
  EXPECT_TRUE(SameUserId(commands.opened[0].user_id, PeerOf(0x700).user_id));
  double_click(1);
  EXPECT_EQ(commands.opened.size(), 1u);
}

TEST_F(ToolWindowsTest, FindSearchesOnEnterAndStartsEmptyWhenOpenedAgain) {
  tools.Open(AppWindow::kFind, true);  // "Find User"
  QPointer<FindWindow> find = tools.find();
  ASSERT_TRUE(find && find->isVisible());
  EXPECT_EQ(find->windowTitle(), "Find user");
  EXPECT_EQ(find->edit()->maxLength(), 223);
  EXPECT_EQ(find->find_button()->text(), "Find");
  EXPECT_EQ(find->list()->topLevelItemCount(), 0);  // nothing before a search

  EXPECT_EQ(find->focusWidget(), find->edit());
  QTest::keyClicks(find->edit(), "bo");
  QTest::keyClick(find->edit(), Qt::Key_Return);
  EXPECT_EQ(sources.name_searches, 1);  // once, not again through a default button
  ASSERT_EQ(find->list()->topLevelItemCount(), 1);
  EXPECT_EQ(find->list()->topLevelItem(0)->text(0), "Bob");
  EXPECT_EQ(find->list()->topLevelItem(0)->text(3), "");
  QTest::mouseClick(find->find_button(), Qt::LeftButton);
  EXPECT_EQ(sources.name_searches, 2);

  // The close box (or Escape) destroys it; "Find User" makes a new, empty
  // one.
  QTest::keyClick(find->edit(), Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(find.isNull());
  EXPECT_EQ(tools.find(), nullptr);
  tools.Open(AppWindow::kFind, true);
  FindWindow* again = tools.find();
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->edit()->text().isEmpty());
  EXPECT_FALSE(again->search().searched());
  again->Refresh();
  EXPECT_EQ(again->list()->topLevelItemCount(), 0);
}

}  // namespace
}  // namespace orv
