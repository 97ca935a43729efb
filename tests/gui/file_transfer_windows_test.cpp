#include "gui/file_transfer_windows.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/manual_dispatcher.hpp"
#include "gui/file_transfer_window.hpp"
#include "support/temp_dir.hpp"
#include "transfer/transfer_fakes.hpp"
#include "transfer/transfer_protocol.hpp"

namespace orv {
namespace {

using test::CapturingSender;
using test::ManualClock;
using test::PeerWith;

// The progress windows over a real engine whose time passes only through
// its ticks, talking to a capturing sender; the engine's events reach the
// windows through a dispatcher the test runs by hand.
struct TransferFixture {
  TransferFixture() {
    std::filesystem::create_directory(In());
    std::filesystem::create_directory(Out());
    FileTransferServices services;
    services.dispatcher = &dispatcher;
    services.engine = [this] { return engine.get(); };
    services.choose_path = [this](QWidget*, const std::string& proposed) {
      proposals.push_back(proposed);
      return answer;
    };
    services.show_error = [this](QWidget*, std::string_view title, std::string_view text) {
      errors.push_back(std::string(title) + ": " + std::string(text));
    };
    services.notify = [this](const DesktopNotice& notice) { notices.push_back(notice); };
    windows = std::make_unique<FileTransferWindows>(services);
    TransferServices engine_services;
    engine_services.sender = &sender;
    engine_services.events = windows.get();
    engine_services.clock = &clock;
    engine_services.settings = [this] {
      TransferSettings settings;
      settings.FileTransferPath = In();
      return settings;
    };
    FileTransferConfig config;
    config.transfer_thread = false;
    engine = std::make_unique<FileTransferEngine>(engine_services, config);
  }
  ~TransferFixture() {
    engine.reset();
    dispatcher.RunPending();
    windows.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  std::string In() const { return dir.path() + "/in"; }
  std::string Out() const { return dir.path() + "/out"; }

  void Receive(const std::vector<uint8_t>& message) {
    engine->HandleFileMessage(message.data(), message.size(), peer, true);
    dispatcher.RunPending();
  }
  // A peer offers "report.txt" of `size` bytes; the window opened for it.
  FileTransferWindow* Offered(uint64_t size) {
    Receive(test::Request(kId, size, u"report.txt"));
    return Only();
  }
  // The person offers a file of `size` bytes; the window opened for it.
  FileTransferWindow* Sent(size_t size) {
    const std::string path = Out() + "/photo.png";
    test::WriteWholeFile(path, test::Pattern(size));
    const TransferStart start = engine->StartFileTransfer(peer, path);
    EXPECT_EQ(start.error, StartError::kNone);
    sent_id = sender.Take().at(0).id();
    dispatcher.RunPending();
    return windows->window(start.handle);
  }
  void Tick(uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) engine->TransferTick();
    dispatcher.RunPending();
  }
  FileTransferWindow* Only() { return windows->count() == 1 ? windows->window(1) : nullptr; }
  std::vector<uint8_t> Codes() { return CapturingSender::Codes(sender.Take()); }
  // Runs the GUI's work: the posted events, then Qt's deferred deletes.
  void Settle() {
    dispatcher.RunPending();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  static constexpr uint32_t kId = 0x123456;
  test::TempDir dir;
  ManualDispatcher dispatcher;
  CapturingSender sender;
  ManualClock clock;
  PeerRef peer = PeerWith(0x11111111);
  std::optional<std::string> answer;
  std::vector<std::string> proposals;
  std::vector<std::string> errors;
  std::vector<DesktopNotice> notices;
  uint32_t sent_id = 0;
  std::unique_ptr<FileTransferWindows> windows;
  std::unique_ptr<FileTransferEngine> engine;
};

bool Busy(const FileTransferWindow& w) { return w.bar()->minimum() == 0 && w.bar()->maximum() == 0; }
std::string Shown(const FileTransferWindow& w) { return w.text()->text().toStdString(); }

TEST(FileTransferWindows, AnOfferWaitsWithSaveAsAndABusyBar) {
  TransferFixture f;
  const std::vector<uint8_t> request = test::Request(TransferFixture::kId, 1000, u"report.txt");
  // The engine's event comes on the receive thread; the window opens on
  // the GUI thread.
  std::thread([&] { f.engine->HandleFileMessage(request.data(), request.size(), f.peer, true); }).join();
  EXPECT_EQ(f.windows->count(), 0u);
  f.dispatcher.RunPending();
  FileTransferWindow* w = f.Only();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle().toStdString(), "report.txt");
  EXPECT_EQ(Shown(*w), "FILE TRANSFER REQUEST!");
  EXPECT_TRUE(Busy(*w));
  EXPECT_TRUE(w->save_as_button()->isVisible());
  EXPECT_EQ(w->cancel_button()->text().toStdString(), "Cancel");
}

TEST(FileTransferWindows, SaveAsReceivesTheFileThenCloseLetsItGo) {
  TransferFixture f;
  FileTransferWindow* w = f.Offered(400);  // two blocks
  ASSERT_NE(w, nullptr);
  const std::string chosen = f.Out() + "/kept.txt";
  f.answer = chosen;
  QTest::mouseClick(w->save_as_button(), Qt::LeftButton);
  EXPECT_EQ(f.proposals, std::vector<std::string>{f.In() + "/report.txt"});
  EXPECT_EQ(f.Codes(), std::vector<uint8_t>{kFileAccept});
  f.dispatcher.RunPending();
  EXPECT_FALSE(w->save_as_button()->isVisible());
  EXPECT_FALSE(Busy(*w));
  EXPECT_EQ(Shown(*w).rfind("Received 0 B out of 400 B, speed", 0), 0u) << Shown(*w);

  f.clock.now += 10'000'000;  // one second
  f.Receive(test::Block(TransferFixture::kId, 0, test::Pattern(316)));
  f.Tick(7);  // the progress shows about three times a second (50 ms ticks)
  EXPECT_EQ(w->bar()->value(), 50);
  EXPECT_EQ(Shown(*w), "Received 316 B out of 400 B, speed 0.32 KB/sec, time left 0 sec");
  f.Receive(test::Block(TransferFixture::kId, 1, test::Pattern(84)));
  EXPECT_EQ(Shown(*w), "File received");
  EXPECT_EQ(w->bar()->value(), 100);
  EXPECT_EQ(w->cancel_button()->text().toStdString(), "Close");
  EXPECT_EQ(test::ReadWholeFile(chosen).size(), 400u);

  f.sender.Take();
  QPointer<FileTransferWindow> gone = w;
  QTest::mouseClick(w->cancel_button(), Qt::LeftButton);
  f.Settle();
  EXPECT_TRUE(gone.isNull());
  EXPECT_TRUE(f.Codes().empty());  // nothing more to tell the sender
  EXPECT_TRUE(std::filesystem::exists(chosen));
}

// A download that finished behind other windows is told on the desktop,
// once; its window in front tells it itself.
TEST(FileTransferWindows, AFinishedDownloadIsToldOnTheDesktopOnce) {
  for (const bool in_front : {false, true}) {
    TransferFixture f;
    FileTransferWindow* w = f.Offered(100);
    ASSERT_NE(w, nullptr);
    f.answer = f.Out() + "/kept.txt";
    QTest::mouseClick(w->save_as_button(), Qt::LeftButton);
    f.dispatcher.RunPending();
    QWidget other;
    QWidget* front = in_front ? static_cast<QWidget*>(w) : &other;
    front->show();
    front->activateWindow();
    QApplication::setActiveWindow(front);
    QCoreApplication::processEvents();
    ASSERT_EQ(w->isActiveWindow(), in_front);
    f.Receive(test::Block(TransferFixture::kId, 0, test::Pattern(100)));
    ASSERT_EQ(Shown(*w), "File received");
    f.Tick(20);  // later refreshes tell nothing more
    if (in_front) {
      EXPECT_TRUE(f.notices.empty());
      continue;
    }
    ASSERT_EQ(f.notices.size(), 1u);
    EXPECT_EQ(f.notices[0].summary, "File received");
    EXPECT_EQ(f.notices[0].body, "report.txt");
  }
}

// Every way of turning an offer down refuses it (code 3) and closes the
// window.
TEST(FileTransferWindows, RefusingAnOfferClosesItsWindow) {
  const struct {
    const char* how;
    std::function<void(FileTransferWindow&)> act;
  } cases[] = {
      {"Cancel", [](FileTransferWindow& w) { QTest::mouseClick(w.cancel_button(), Qt::LeftButton); }},
      {"close box", [](FileTransferWindow& w) { w.close(); }},
      {"Escape", [](FileTransferWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
      {"Cancel in the save dialog",
       [](FileTransferWindow& w) { QTest::mouseClick(w.save_as_button(), Qt::LeftButton); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    TransferFixture f;
    FileTransferWindow* w = f.Offered(1000);
    ASSERT_NE(w, nullptr);
    QPointer<FileTransferWindow> gone = w;
    c.act(*w);
    f.Settle();
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(f.windows->count(), 0u);
    EXPECT_EQ(f.Codes(), std::vector<uint8_t>{kFileRefuse});
  }
}

TEST(FileTransferWindows, AFileThatCannotBeCreatedLeavesTheOfferOpen) {
  TransferFixture f;
  FileTransferWindow* w = f.Offered(1000);
  ASSERT_NE(w, nullptr);
  f.answer = f.dir.path() + "/no such folder/report.txt";
  QTest::mouseClick(w->save_as_button(), Qt::LeftButton);
  f.Settle();
  EXPECT_EQ(f.errors, std::vector<std::string>{"Error: Can't create file"});
  ASSERT_EQ(f.Only(), w);
  EXPECT_EQ(Shown(*w), "FILE TRANSFER REQUEST!");
  EXPECT_TRUE(w->save_as_button()->isVisible());
  EXPECT_TRUE(f.Codes().empty());
}

// The sender's window through its states, as the peer answers.
TEST(FileTransferWindows, ASentFileShowsWhatThePeerAnswers) {
  TransferFixture f;
  FileTransferWindow* w = f.Sent(1000);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle().toStdString(), "photo.png");
  EXPECT_EQ(Shown(*w), "Waiting");
  EXPECT_TRUE(Busy(*w));
  EXPECT_FALSE(w->save_as_button()->isVisible());

  f.Receive(test::Control(kFileAccept, f.sent_id));
  EXPECT_EQ(Shown(*w).rfind("Transfered ", 0), 0u) << Shown(*w);
  EXPECT_FALSE(Busy(*w));
  EXPECT_FALSE(w->save_as_button()->isVisible());

  f.Receive(test::Control(kFileCancel, f.sent_id));
  EXPECT_EQ(Shown(*w), "Transfer is canceled");
  EXPECT_EQ(w->bar()->value(), 0);
  EXPECT_EQ(w->cancel_button()->text().toStdString(), "Cancel");

  // Ended transfers stay 30 s, then go with their window.
  QPointer<FileTransferWindow> gone = w;
  f.Tick(kShortTimeoutTicks + 1);
  f.Settle();
  EXPECT_TRUE(gone.isNull());
}

TEST(FileTransferWindows, CancellingASentFileWaitsForThePeer) {
  TransferFixture f;
  FileTransferWindow* w = f.Sent(1000);
  ASSERT_NE(w, nullptr);
  QPointer<FileTransferWindow> gone = w;
  QTest::mouseClick(w->cancel_button(), Qt::LeftButton);
  f.Settle();
  EXPECT_TRUE(gone.isNull());
  EXPECT_EQ(f.Codes(), std::vector<uint8_t>{kFileCancel});
  EXPECT_EQ(f.engine->ViewTransfer(1)->state, kTransferCancelling);
}

TEST(FileTransferWindows, AnUnansweredOfferTimesOut) {
  TransferFixture f;
  FileTransferWindow* w = f.Offered(1000);
  ASSERT_NE(w, nullptr);
  f.Tick(kShortTimeoutTicks);
  EXPECT_EQ(Shown(*w), "Connection timeout");
  EXPECT_FALSE(w->save_as_button()->isVisible());
  EXPECT_EQ(w->bar()->value(), 0);
}

}  // namespace
}  // namespace orv
