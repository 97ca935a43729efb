#include "gui/widget_ui_port.hpp"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "gui/app_window_host.hpp"

namespace orv {
namespace {

class RecordingHost final : public AppWindowHost {
 public:
  void OpenAppWindow(AppWindow window, bool shown) override { Note(window, shown); }
  void CloseAppWindow(AppWindow window) override { Note(window, false); }
  QWidget* DialogOwner() override { return nullptr; }
  std::vector<std::pair<AppWindow, bool>> calls;
  bool off_gui_thread = false;

 private:
  void Note(AppWindow window, bool shown) {
    if (QThread::currentThread() != qApp->thread()) off_gui_thread = true;
    calls.emplace_back(window, shown);
  }
};

TEST(WidgetUiPortTest, WindowsOpenedFromAWorkerReachTheHostOnTheGuiThread) {
  WidgetUiPort ui;
  RecordingHost host;
  ui.SetWindowHost(&host);
  ui.OpenWindow(AppWindow::kLog, false);  // on the GUI thread: at once
  std::atomic<bool> done{false};
  std::thread worker([&] {
    ui.OpenWindow(AppWindow::kMain, true);
    ui.CloseWindow(AppWindow::kSplash);
    done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
  worker.join();
  const std::vector<std::pair<AppWindow, bool>> expected = {
      {AppWindow::kLog, false}, {AppWindow::kMain, true}, {AppWindow::kSplash, false}};
  EXPECT_EQ(host.calls, expected);
  EXPECT_FALSE(host.off_gui_thread);
}

TEST(WidgetUiPortTest, AfterStopAskingWorkersAreAnsweredNoAndCancelAtOnce) {
  WidgetUiPort ui;
  RecordingHost host;
  ui.SetWindowHost(&host);
  ui.StopAsking();
  bool yes = true;
  PasswordAnswer answer;
  answer.accepted = true;
  std::thread([&] {
    yes = ui.AskYesNo("Question", "Go on?", MessageIcon::kQuestion);
    PasswordRequest request;
    answer = ui.AskPassword(request);
    ui.ShowMessage("Warning", "nobody sees this", MessageIcon::kWarning);
    ui.OpenWindow(AppWindow::kMain, true);
  }).join();
  EXPECT_FALSE(yes);
  EXPECT_FALSE(answer.accepted);
  EXPECT_TRUE(host.calls.empty());
}

}  // namespace
}  // namespace orv
