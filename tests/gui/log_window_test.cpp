// The "Log" window: the rows the core logs on any thread reach it on the
// GUI thread, in order; its list, and how the main window shows and hides
// it and the other tool windows.
#include "gui/log_window.hpp"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <memory>
#include <string>
#include <thread>

#include "app/event_log.hpp"
#include "app/queued_log_sink.hpp"
#include "gui/main_window.hpp"
#include "gui/qt_dispatcher.hpp"
#include "gui/widget_ui_port.hpp"

namespace orv {
namespace {

std::string Cell(const QAbstractItemModel& model, int row, int column) {
  return model.data(model.index(row, column)).toString().toStdString();
}

// The process-wide log, its rows going to a "Log" window through the GUI
// thread as in the program.
struct LogFixture {
  LogFixture() {
    LogOptions options;
    options.sink = sink;
    options.clock = [] { return LogTime{2026, 12, 11, 3, 4, 5}; };
    CreateLog(std::move(options), Settings{});
  }
  ~LogFixture() { CloseLog(); }

  QtDispatcher dispatcher;
  LogWindow window;
  std::shared_ptr<QueuedLogSink> sink = std::make_shared<QueuedLogSink>(dispatcher);
  LogViewLink link{*sink, window};
};

TEST(LogWindowTest, RowsLoggedOnAWorkerArriveOnTheGuiThreadInOrder) {
  LogFixture f;
  const QAbstractItemModel& model = *f.window.list()->model();
  constexpr int kRows = 300;
  std::thread worker([] {
    for (int i = 0; i < kRows; ++i) LogEvent("Network", "line " + std::to_string(i));
  });
  worker.join();
  EXPECT_EQ(model.rowCount(), 0);  // the worker never touched the window
  EXPECT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == kRows; }, 5000));
  ASSERT_EQ(model.rowCount(), kRows);
  for (int i = 0; i < kRows; ++i) {
    ASSERT_EQ(Cell(model, i, 2), "line " + std::to_string(i));
    ASSERT_EQ(Cell(model, i, 1), "Network");
  }
  EXPECT_EQ(Cell(model, 0, 0), "26/12/11 03:04:05");
}

TEST(LogWindowTest, ListHasItsColumnsFillsTheWindowAndFollowsTheNewestRow) {
  LogFixture f;
  QTableView& list = *f.window.list();
  EXPECT_EQ(f.window.windowTitle(), "Log");
  const QAbstractItemModel& model = *list.model();
  ASSERT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Time");
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Source");
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Message");
  EXPECT_EQ(list.horizontalHeader()->sectionSize(0), 150);
  EXPECT_EQ(list.horizontalHeader()->sectionSize(1), 100);
  EXPECT_EQ(list.horizontalHeader()->sectionSize(2), 800);
  EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_TRUE(list.showGrid());
  EXPECT_EQ(list.editTriggers(), QAbstractItemView::NoEditTriggers);

  f.window.show();
  f.window.resize(700, 400);
  QCoreApplication::processEvents();
  EXPECT_EQ(list.geometry(), f.window.rect());
  for (int i = 0; i < 100; ++i) LogEvent("Main", "row " + std::to_string(i));
  QCoreApplication::processEvents();
  ASSERT_EQ(model.rowCount(), 100);
  QScrollBar* bar = list.verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  f.window.close();
  EXPECT_TRUE(f.window.isHidden());  // hidden, not gone: the rows stay
  EXPECT_EQ(model.rowCount(), 100);
}

// The menu's "Show l&og window" runs the core's command, which asks the
// program's window host for the "Log" window, shown.
TEST(LogWindowTest, StartUpMakesItHiddenTheMenuShowsItAndTheShutdownHidesIt) {
  LogFixture f;
  WidgetUiPort ui;
  MainWindow window(MainWindowActions{[&ui](MenuCommand command) {
                                        if (command == MenuCommand::kShowLog) ui.OpenWindow(AppWindow::kLog, true);
                                      },
                                      nullptr});
  ui.SetWindowHost(&window);
  window.SetToolWindow(AppWindow::kLog, &f.window);
  ui.OpenWindow(AppWindow::kLog, false);
  EXPECT_TRUE(f.window.isHidden());
  window.MenuAction(MenuCommand::kShowLog)->trigger();
  EXPECT_TRUE(f.window.isVisible());
  ui.CloseWindow(AppWindow::kLog);
  EXPECT_TRUE(f.window.isHidden());
  ui.SetWindowHost(nullptr);
}

}  // namespace
}  // namespace orv
