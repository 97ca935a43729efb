#include "gui/main_window.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QDialog>
#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/main_window_fixture.hpp"
#include "gui/contact_list.hpp"

namespace orv {
namespace {

using test::Peer;

// The window's dialogs of one kind (they carry no meta-object of their
// own, so the type is told by dynamic_cast).
template <typename T>
std::vector<T*> Dialogs(const QWidget& window) {
  std::vector<T*> found;
  for (QDialog* dialog : window.findChildren<QDialog*>())
    if (T* typed = dynamic_cast<T*>(dialog)) found.push_back(typed);
  return found;
}

// The main window over a controller wired to the recording fakes of the
// controller's own tests; menu commands run the way Application runs them.
struct WindowFixture {
  WindowFixture() {
    settings.Likes = dir / "likes.xml";
    window.SetController(&controller);
  }

  void AddStoredContact(const PeerRef& peer, std::optional<std::string> name, std::optional<std::string> original,
                        bool authorized) {
    test::AddStoredContact(store, peer, std::move(name), std::move(original), authorized);
  }

  void RunCommand(MenuCommand command) {
    commands.push_back(command);
    if (command == MenuCommand::kOnline) controller.CommandOnline();
    if (command == MenuCommand::kAway) controller.CommandAway();
  }

  // Visible item order: name -> image.
  std::vector<std::pair<std::string, int>> Shown() const {
    std::vector<std::pair<std::string, int>> shown;
    ContactList* list = window.contact_list();
    for (int i = 0; i < list->count(); ++i)
      shown.emplace_back(list->item(i)->text().toStdString(), list->item(i)->data(ContactList::kImageRole).toInt());
    return shown;
  }

  test::TempDir dir;
  Settings settings;
  ContactStore store;
  ScriptedUiPort ui;
  std::vector<MenuCommand> commands;
  std::vector<std::pair<uint32_t, uint16_t>> connects;
  MainWindow window{MainWindowActions{[this](MenuCommand c) { RunCommand(c); },
                                      [this](uint32_t ip, uint16_t port) { connects.emplace_back(ip, port); }}};
  test::FakePeers peers{store};
  test::RecordingSender sender;
  test::RecordingLocator locator;
  test::FakeConversations conversations;
  test::RecordingTransfers transfers;
  test::FakeIdle idle;
  test::FakeOwn own;
  test::RecordingSigner signer;
  ContactsSaver saver{store, signer};
  MainWindowController controller{MainWindowParts{settings, store, ui, window, window, peers, sender, locator,
                                                  conversations, transfers, idle, own, saver}};
};

TEST(MainWindowTest, ContactsAreListedSortedWithTheImageOfTheirStatus) {
  WindowFixture f;
  f.AddStoredContact(Peer(10, 0x0A000001, 5000), "carol", "Carol", true);
  f.AddStoredContact(Peer(20), "Alice", "Alice", true);
  f.AddStoredContact(Peer(30), "bob", "Bob", false);
  f.AddStoredContact(Peer(40), "dave", "Dave", true);
  f.AddStoredContact(Peer(50), std::nullopt, "Eve", true);  // no name: the original one
  f.peers.Script(Peer(10, 0x0A000001, 5000), true, false);
  f.peers.Script(Peer(30), true, false);  // connected, but not authorized
  f.peers.Script(Peer(40), true, true);
  f.controller.MainTick();

  const std::vector<std::pair<std::string, int>> expected = {
      {"Alice", kImageNotConnected}, {"bob", kImageNotAuthorized}, {"carol", kImageOnline},
      {"dave", kImageAway},          {"Eve", kImageNotConnected}};
  EXPECT_EQ(f.Shown(), expected);
  ContactList* list = f.window.contact_list();
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    const int image = item->data(ContactList::kImageRole).toInt();
    EXPECT_EQ(item->icon().cacheKey(), list->icons().Icon(image).cacheKey()) << item->text().toStdString();
    // The item names the controller's row of the same contact.
    const std::optional<size_t> row = list->RowOf(item);
    ASSERT_TRUE(row);
    EXPECT_EQ(f.controller.rows()[*row].name, item->text().toStdString());
  }

  // Alice connects, bob goes from the list.
  f.peers.Script(Peer(20), true, false);
  {
    std::lock_guard<std::mutex> g(f.store.lock);
    f.store.contacts.erase(f.store.contacts.begin() + 2);
  }
  f.controller.MainTick();
  const std::vector<std::pair<std::string, int>> after = {
      {"Alice", kImageOnline}, {"carol", kImageOnline}, {"dave", kImageAway}, {"Eve", kImageNotConnected}};
  EXPECT_EQ(f.Shown(), after);
}

TEST(MainWindowTest, DoubleClickOpensTheChatOfThatRowAndTheSelectionFollowsTheContact) {
  WindowFixture f;
  f.AddStoredContact(Peer(10), "zed", "zed", true);
  f.AddStoredContact(Peer(20), "amy", "amy", true);
  f.controller.MainTick();
  ContactList* list = f.window.contact_list();
  QListWidgetItem* zed = list->item(1);
  ASSERT_EQ(zed->text(), "zed");
  Q_EMIT list->itemDoubleClicked(zed);
  ASSERT_EQ(f.conversations.opened.size(), 1u);
  EXPECT_TRUE(SameUserId(f.conversations.opened[0].user_id, Peer(10).user_id));

  list->setCurrentItem(zed);
  EXPECT_EQ(f.controller.selected_row(), std::optional<size_t>(0));
  // A new contact in front of zed moves its row; the selection stays on zed.
  {
    std::lock_guard<std::mutex> g(f.store.lock);
    ContactRecord first;
    first.peer = Peer(30);
    first.name = "bea";
    f.store.contacts.insert(f.store.contacts.begin(), std::move(first));
  }
  f.controller.MainTick();
  ASSERT_EQ(list->selectedItems().size(), 1);
  EXPECT_EQ(list->selectedItems().first()->text(), "zed");
}

TEST(MainWindowTest, MenusHoldEveryCommandWithItsTextAndShortcut) {
  WindowFixture f;
  const std::map<MenuCommand, QString> shortcuts = {{MenuCommand::kSettings, "Ctrl+S"},
                                                    {MenuCommand::kGenerateKey, "Ctrl+G"},
                                                    {MenuCommand::kViewHelp, "F1"},
                                                    {MenuCommand::kExit, "Alt+F4"}};
  for (const MenuItem& item : MenuItems()) {
    QAction* action = f.window.MenuAction(item.command);
    ASSERT_NE(action, nullptr) << item.text;
    EXPECT_EQ(action->text().toStdString(), std::string(item.text));
    auto shortcut = shortcuts.find(item.command);
    EXPECT_EQ(action->shortcut(), shortcut == shortcuts.end() ? QKeySequence() : QKeySequence(shortcut->second))
        << item.text;
    action->trigger();
    ASSERT_FALSE(f.commands.empty());
    EXPECT_EQ(f.commands.back(), item.command);
  }
  EXPECT_EQ(f.commands.size(), MenuItems().size());
}

TEST(MainWindowTest, TitleAndStatusMarkFollowThePresence) {
  WindowFixture f;
  EXPECT_EQ(f.window.windowTitle(), "ORV Telephone - online");
  f.window.MenuAction(MenuCommand::kAway)->trigger();
  EXPECT_EQ(f.window.windowTitle(), "ORV Telephone - away");
  EXPECT_TRUE(f.window.MenuAction(MenuCommand::kAway)->isChecked());
  EXPECT_FALSE(f.window.MenuAction(MenuCommand::kOnline)->isChecked());
  f.window.MenuAction(MenuCommand::kOnline)->trigger();
  EXPECT_EQ(f.window.windowTitle(), "ORV Telephone - online");
  EXPECT_TRUE(f.window.MenuAction(MenuCommand::kOnline)->isChecked());
}

TEST(MainWindowTest, ClosingKeepsTheWindowReachableAndTheClientAreaHasItsMinimum) {
  WindowFixture f;
  EXPECT_GE(f.window.contact_list()->minimumWidth(), kMinClientWidth);
  EXPECT_GE(f.window.contact_list()->minimumHeight(), kMinClientHeight);
  f.window.show();
  f.window.close();
  // The offscreen platform has no tray: the window is minimised, not hidden.
  EXPECT_FALSE(f.window.isHidden());
  EXPECT_TRUE(f.window.isMinimized());
  f.window.OpenAppWindow(AppWindow::kMain, true);
  EXPECT_FALSE(f.window.isMinimized());
  const QList<QAction*> tray = f.window.tray_menu()->actions();
  ASSERT_EQ(tray.size(), 3);
  EXPECT_EQ(tray[0]->text(), "ORV Telephone");
  tray[1]->trigger();
  tray[2]->trigger();
  EXPECT_EQ(f.commands, (std::vector<MenuCommand>{MenuCommand::kAbout, MenuCommand::kExit}));
}

TEST(MainWindowTest, InfoDialogIsOnlyEverOne) {
  WindowFixture f;
  f.AddStoredContact(Peer(10, 0x7F000001, 31265), "amy", "Amy", true);
  f.controller.MainTick();
  f.window.RunRowCommand(0, ContactCommand::kInfo);
  QPointer<UserInfoDialog> first = f.window.user_info_dialog();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->windowTitle(), "User Info");
  f.window.RunRowCommand(0, ContactCommand::kInfo);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull() || first->isHidden());
  EXPECT_NE(f.window.user_info_dialog(), first.data());
  EXPECT_EQ(Dialogs<UserInfoDialog>(f.window).size(), 1u);
}

TEST(MainWindowTest, AcceptedConnectionRequestMakesTheRequesterAContact) {
  WindowFixture f;
  f.settings.AllowConnectionRequest = true;
  f.peers.Script(Peer(70, 0x0A000002, 4000), true, false, "Zoe");
  f.controller.ConnectionRequestArrived(Peer(70, 0x0A000002, 4000));
  const std::vector<ConnectionRequestDialog*> dialogs = Dialogs<ConnectionRequestDialog>(f.window);
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0]->windowTitle(), "Connection Request");
  dialogs[0]->accept();
  std::lock_guard<std::mutex> g(f.store.lock);
  ASSERT_EQ(f.store.contacts.size(), 1u);
  EXPECT_TRUE(SameUserId(f.store.contacts[0].peer.user_id, Peer(70).user_id));
  EXPECT_TRUE(f.controller.connection_requests().empty());
}

TEST(MainWindowTest, SplashIsTheAboutWindowShownWhileStarting) {
  WindowFixture f;
  EXPECT_TRUE(std::string(kAboutText).rfind("ORV Telephone Beta 1.6 298 64-Bit 04/20/14\n", 0) == 0);
  f.window.OpenAppWindow(AppWindow::kSplash, true);
  QWidget* splash = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (dynamic_cast<AboutDialog*>(top) && top->isVisible()) splash = top;
  ASSERT_NE(splash, nullptr);
  EXPECT_EQ(splash->windowTitle(), "About");
  QPointer<QWidget> watch = splash;
  f.window.CloseAppWindow(AppWindow::kSplash);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watch.isNull());
}

// Answers the modal dialog about to open: `answer` runs once it is up. A
// dialog still open after five seconds (a failed test) is rejected, so that
// no test waits for ever.
void AnswerModal(std::function<void(QDialog&)> answer) {
  QTimer::singleShot(0, [answer = std::move(answer)] {
    auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      ADD_FAILURE() << "no modal dialog";
      return;
    }
    answer(*dialog);
  });
  QTimer::singleShot(5000, [] {
    if (auto* dialog = dynamic_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
}

// The modal prompts, answered by the person.
TEST(MainWindowTest, RenameShowsTheOriginalNameAndReturnsTheEditedOne) {
  WindowFixture f;
  for (bool ok : {true, false}) {
    QString caption, shown;
    AnswerModal([&](QDialog& dialog) {
      caption = dialog.windowTitle();
      for (QLabel* label : dialog.findChildren<QLabel*>()) shown += label->text();
      dialog.findChild<QLineEdit*>()->setText("Amy Pond");
      if (ok)
        dialog.accept();
      else
        dialog.reject();
    });
    const std::optional<std::string> name = f.window.AskRename("Amy", "amy");
    EXPECT_EQ(caption, "Rename");
    EXPECT_EQ(shown, "Amy");
    EXPECT_EQ(name, ok ? std::optional<std::string>("Amy Pond") : std::nullopt);
  }
}

TEST(MainWindowTest, ConnectToReadsTheAddressHoweverTheDialogGoes) {
  WindowFixture f;
  for (bool connect_button : {true, false}) {
    AnswerModal([&](QDialog& modal) {
      auto* dialog = dynamic_cast<ConnectToDialog*>(&modal);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Connect to IP:port");
      dialog->address_edit()->setText("10.1.2.3");
      dialog->port_edit()->setText("31265");
      if (connect_button)
        dialog->accept();
      else
        dialog->close();  // the close box
    });
    f.window.OpenAppWindow(AppWindow::kConnectTo, true);
  }
  const std::vector<std::pair<uint32_t, uint16_t>> expected = {{0x0A010203u, 31265}, {0x0A010203u, 31265}};
  EXPECT_EQ(f.connects, expected);
}

TEST(MainWindowTest, Ipv4TextParsesFourNumbersOnly) {
  EXPECT_EQ(ParseIpv4Text("10.0.0.2"), 0x0A000002u);
  EXPECT_EQ(ParseIpv4Text(" 192.168.1.255 "), 0xC0A801FFu);
  EXPECT_EQ(ParseIpv4Text("10.0.0"), 0u);
  EXPECT_EQ(ParseIpv4Text("10.0.0.256"), 0u);
  EXPECT_EQ(ParseIpv4Text(""), 0u);
}

}  // namespace
}  // namespace orv
