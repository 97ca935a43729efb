// The "Downloads" window over a real store: its list, the popup menu of a
// row with the actions the person picks (the desktop's part recorded), the
// double click, and how it hides.
#include "gui/downloads_window.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "app/downloads_fakes.hpp"
#include "gui/main_window.hpp"
#include "store/downloads.hpp"
#include "store/file_time.hpp"

namespace orv {
namespace {

struct WindowFixture {
  WindowFixture() {
    PeerRef sender;
    sender.user_id[0] = 5;
    AddDownload(store, sender, "/home/u/Downloads/old.txt", "Ann", *FileTimeFromCivil({2014, 4, 20, 13, 5, 9}));
    AddDownload(store, sender, "/home/u/Downloads/new.txt", "Bob", 0);
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    QTableWidget& list = *window.list();
    for (int r = 0; r < list.rowCount(); ++r)
      rows.push_back(list.item(r, 0)->text().toStdString() + " | " + list.item(r, 1)->text().toStdString() + " | " +
                     list.item(r, 2)->text().toStdString());
    return rows;
  }
  // Right click on `row`; the popup's item `choice` is picked with the
  // keyboard. Returns the popup's texts.
  std::vector<std::string> Popup(int row, int choice) {
    std::vector<std::string> texts;
    QTimer::singleShot(0, [&texts, choice] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) {
        ADD_FAILURE() << "no popup menu";
        return;
      }
      for (QAction* action : menu->actions()) texts.push_back(action->text().toStdString());
      menu->setActiveAction(menu->actions().value(choice));
      QTest::keyClick(menu, Qt::Key_Return);
    });
    // A popup still open after five seconds (a failed test) is closed.
    QTimer::singleShot(5000, [] {
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    QTableWidget& list = *window.list();
    const QPoint at = list.visualItemRect(list.item(row, 0)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &click);
    return texts;
  }

  ContactStore store{[] { return *FileTimeFromCivil({2026, 12, 11, 3, 4, 5}); }};
  test::RecordingShell shell;
  DownloadsWindow window{[this] { return &store; }, shell};
};

TEST(DownloadsWindowGuiTest, ListShowsTheRecordsWithItsColumnsAndMinimumSize) {
  WindowFixture f;
  EXPECT_EQ(f.window.windowTitle(), "Downloads");
  QTableWidget& list = *f.window.list();
  ASSERT_EQ(list.columnCount(), 3);
  EXPECT_EQ(list.horizontalHeaderItem(0)->text(), "File name");
  EXPECT_EQ(list.horizontalHeaderItem(1)->text(), "From");
  EXPECT_EQ(list.horizontalHeaderItem(2)->text(), "Date");
  EXPECT_EQ(list.horizontalHeader()->sectionSize(0), 300);
  EXPECT_EQ(list.horizontalHeader()->sectionSize(1), 100);
  EXPECT_EQ(list.horizontalHeader()->sectionSize(2), 100);
  EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_TRUE(list.showGrid());
  EXPECT_EQ(f.window.minimumSize(), QSize(400, 300));

  f.window.OpenToolWindow(false);  // the start-up: filled, hidden
  EXPECT_TRUE(f.window.isHidden());
  EXPECT_EQ(f.Rows(), (std::vector<std::string>{"/home/u/Downloads/new.txt | Bob | 26/12/11 03:04:05",
                                                "/home/u/Downloads/old.txt | Ann | 14/04/20 13:05:09"}));
  list.selectRow(1);
  EXPECT_EQ(f.window.controller().selected(), 1u);
  f.window.DownloadsChanged(false);  // a reception: refreshed, not shown
  EXPECT_TRUE(f.window.isHidden());
  EXPECT_EQ(list.selectionModel()->selectedRows().value(0).row(), 1);
  f.window.DownloadsChanged(true);  // AutoReceiveFiles
  EXPECT_TRUE(f.window.isVisible());
  f.window.close();
  EXPECT_TRUE(f.window.isHidden());
  EXPECT_EQ(list.rowCount(), 2);
}

TEST(DownloadsWindowGuiTest, PopupOfARowOpensShowsDeletesAndDeletesAll) {
  WindowFixture f;
  f.window.OpenToolWindow(true);
  const std::vector<std::string> menu = f.Popup(1, 0);
  EXPECT_EQ(menu, (std::vector<std::string>{"Open", "Show in folder", "Delete", "Delete All"}));
  f.Popup(0, 1);
  EXPECT_EQ(f.shell.calls, (std::vector<std::string>{"open /home/u/Downloads/old.txt",
                                                     "folder /home/u/Downloads/new.txt"}));
  f.Popup(0, 2);
  EXPECT_EQ(f.Rows(), std::vector<std::string>{"/home/u/Downloads/old.txt | Ann | 14/04/20 13:05:09"});
  EXPECT_EQ(ListDownloads(f.store).size(), 1u);
  QTableWidget& list = *f.window.list();
  const QPoint row = list.visualItemRect(list.item(0, 0)).center();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row);  // the double click follows a press
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, row);
  EXPECT_EQ(f.shell.calls.back(), "open /home/u/Downloads/old.txt");
  f.Popup(0, 3);
  EXPECT_EQ(list.rowCount(), 0);
  EXPECT_TRUE(ListDownloads(f.store).empty());
  EXPECT_EQ(f.shell.calls.size(), 3u);
}

// "Show &downloads window" reaches the window through the main window.
TEST(DownloadsWindowGuiTest, MainWindowShowsItFromTheMenuCommand) {
  WindowFixture f;
  MainWindow window(MainWindowActions{nullptr, nullptr});
  window.SetToolWindow(AppWindow::kDownloads, &f.window);
  window.OpenAppWindow(AppWindow::kDownloads, false);
  EXPECT_TRUE(f.window.isHidden());
  EXPECT_EQ(f.window.list()->rowCount(), 2);
  window.OpenAppWindow(AppWindow::kDownloads, true);
  EXPECT_TRUE(f.window.isVisible());
  window.CloseAppWindow(AppWindow::kDownloads);
  EXPECT_TRUE(f.window.isHidden());
}

}  // namespace
}  // namespace orv
