// The "Downloads" window's logic: rows from the download list, the
// selection kept across refreshes, the popup menu's actions, and a
// reception finished by the file transfer engine reaching the window.
#include <gtest/gtest.h>

#include <memory>

#include "app/downloads_fakes.hpp"
#include "app/downloads_window/downloads_controller.hpp"
#include "app/manual_dispatcher.hpp"
#include "app/store_adapters.hpp"
#include "crypto/byte_order.hpp"
#include "store/downloads.hpp"
#include "support/recording_sender.hpp"
#include "support/temp_dir.hpp"
#include "transfer/file_transfer_engine.hpp"
#include "transfer/transfer_protocol.hpp"

namespace orv {
namespace {

FileTime At(int y, int mo, int d, int h, int mi, int s) { return *FileTimeFromCivil({y, mo, d, h, mi, s}); }

PeerRef Peer(uint32_t first_word, uint32_t ipv4, uint16_t port) {
  PeerRef p;
  p.user_id[0] = first_word;
  p.ipv4 = ipv4;
  p.port = port;
  return p;
}

std::vector<std::string> FileNames(const std::vector<DownloadRow>& rows) {
  std::vector<std::string> names;
  for (const DownloadRow& row : rows) names.push_back(row.file_name);
  return names;
}

struct DownloadsFixture {
  // A file received now: at the head of the list.
  void Received(const std::string& path, FileTime at) {
    now = at;
    AddDownload(store, Peer(7, 0x0A000007, 7), path, "Carol", 0);
  }

  FileTime now = At(2014, 4, 20, 13, 5, 9);
  ContactStore store{[this] { return now; }};
  test::RecordingDownloadsView view;
  test::RecordingShell shell;
  bool store_there = true;
  DownloadsController controller{[this] { return store_there ? &store : nullptr; }, view, shell};
};

TEST(DownloadsWindowTest, RowsShowPathSenderAndUtcTimeInListOrder) {
  DownloadsFixture f;
  AddDownload(f.store, Peer(1, 1, 1), "/home/u/Downloads/a.txt", "Zoë", At(2009, 12, 31, 23, 59, 58));
  AddDownload(f.store, Peer(2, 2, 2), std::nullopt, std::nullopt, At(2024, 2, 29, 0, 0, 1));
  f.controller.Refresh();
  EXPECT_EQ(f.view.rows, (std::vector<DownloadRow>{{"/home/u/Downloads/a.txt", "Zoë", "09/12/31 23:59:58"},
                                                   {"", "", "24/02/29 00:00:01"}}));
  EXPECT_FALSE(f.view.selected);
  EXPECT_EQ(f.view.raised, 0);
  // Before the start-up made the store and after the shutdown freed it,
  // the list is empty.
  f.store_there = false;
  f.controller.Refresh();
  EXPECT_TRUE(f.view.rows.empty());
}

TEST(DownloadsWindowTest, SelectedRecordStaysSelectedWhenNewFilesArriveAndItsPlaceWhenItGoes) {
  DownloadsFixture f;
  f.Received("/b", At(2020, 1, 1, 0, 0, 0));
  f.Received("/a", At(2020, 1, 2, 0, 0, 0));
  f.controller.Refresh();
  f.controller.SelectRow(1);  // "/b"
  f.controller.Refresh();
  EXPECT_EQ(f.view.selected, 1u);
  f.Received("/new", At(2020, 1, 3, 0, 0, 0));
  f.controller.DownloadsChanged(false);
  EXPECT_EQ(FileNames(f.view.rows), (std::vector<std::string>{"/new", "/a", "/b"}));
  EXPECT_EQ(f.view.selected, 2u);  // still "/b"
  EXPECT_EQ(f.view.raised, 0);
  // "/b" deleted: the row at its place no longer exists, nothing stays selected.
  f.controller.RunAction(*f.controller.RowRecord(2), DownloadAction::kDelete);
  EXPECT_FALSE(f.view.selected);
  f.controller.SelectRow(0);  // "/new" deleted: "/a" takes its place
  f.controller.RunAction(*f.controller.RowRecord(0), DownloadAction::kDelete);
  EXPECT_EQ(FileNames(f.view.rows), std::vector<std::string>{"/a"});
  EXPECT_EQ(f.view.selected, 0u);
  f.controller.SelectRow(5);  // past the end: nothing
  EXPECT_FALSE(f.controller.selected());
}

TEST(DownloadsWindowTest, PopupActionsActOnTheRecordTheRowShowed) {
  struct Case {
    DownloadAction action;
    std::vector<std::string> shell;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {DownloadAction::kOpen, {"open /x"}, {"/y", "/x", "/z"}},
      {DownloadAction::kShowInFolder, {"folder /x"}, {"/y", "/x", "/z"}},
      // The row showed "/x"; a reception that finished while the menu was
      // open moved it down: "/x" goes, not the row now at its place.
      {DownloadAction::kDelete, {}, {"/y", "/z"}},
      {DownloadAction::kDeleteAll, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.action));
    DownloadsFixture f;
    f.Received("/z", At(2021, 1, 1, 0, 0, 0));
    f.Received("/x", At(2021, 1, 2, 0, 0, 0));
    f.controller.Refresh();
    const std::optional<DownloadRecord> clicked = f.controller.RowRecord(0);
    ASSERT_TRUE(clicked);
    f.Received("/y", At(2021, 1, 3, 0, 0, 0));  // while the menu is open
    const int before = f.view.refreshes;
    f.controller.RunAction(*clicked, c.action);
    EXPECT_EQ(f.shell.calls, c.shell);
    EXPECT_EQ(FileNames(f.view.rows), c.left);
    EXPECT_EQ(f.view.refreshes, before + 1);
    EXPECT_EQ(ListDownloads(f.store).size(), c.left.size());
  }
  EXPECT_FALSE(DownloadsFixture().controller.RowRecord(0));
}

TEST(DownloadsWindowTest, EmptyListAndRecordsWithoutPathDoNothing) {
  DownloadsFixture f;
  f.controller.Refresh();
  f.controller.RunAction(DownloadRecord{}, DownloadAction::kDeleteAll);
  f.controller.RunAction(DownloadRecord{}, DownloadAction::kDelete);
  f.controller.OpenRow(0);
  EXPECT_TRUE(f.view.rows.empty());
  EXPECT_TRUE(ListDownloads(f.store).empty());
  AddDownload(f.store, Peer(1, 1, 1), std::nullopt, "Dan", 0);  // a record without a path
  f.controller.Refresh();
  f.controller.OpenRow(0);
  f.controller.RunAction(*f.controller.RowRecord(0), DownloadAction::kShowInFolder);
  EXPECT_TRUE(f.shell.calls.empty());
  EXPECT_EQ(ListDownloads(f.store).size(), 1u);
}

TEST(DownloadsWindowTest, DoubleClickOpensTheRowsFileAndTheMenuHasItsFourItems) {
  DownloadsFixture f;
  f.Received("/home/u/b c.txt", At(2021, 1, 1, 0, 0, 0));
  f.controller.Refresh();
  f.controller.OpenRow(0);
  EXPECT_EQ(f.shell.calls, std::vector<std::string>{"open /home/u/b c.txt"});
  std::vector<std::pair<uint32_t, std::string>> menu;
  for (const DownloadMenuItem& item : DownloadMenu())
    menu.emplace_back(static_cast<uint32_t>(item.action), std::string(item.text));
  EXPECT_EQ(menu, (std::vector<std::pair<uint32_t, std::string>>{
                      {1040, "Open"}, {1041, "Show in folder"}, {1042, "Delete"}, {1043, "Delete All"}}));
}

// A real engine receives a file from "Bob"; its record goes to the real
// store, and its "downloads changed" event reaches the window's logic on
// the interface thread, as the desktop program routes it.
class ForwardingEvents final : public TransferEvents {
 public:
  ForwardingEvents(Dispatcher& dispatcher, DownloadsController& controller)
      : dispatcher_(dispatcher), controller_(controller) {}
  void TransferAdded(const TransferView&) override {}
  void TransferRefreshed(const TransferView&) override {}
  void TransferClosed(uint32_t) override {}
  void DownloadsChanged(bool show) override {
    dispatcher_.Post([this, show] { controller_.DownloadsChanged(show); });
  }
  void ShowTransferMessage(std::string_view, std::string_view) override {}

 private:
  Dispatcher& dispatcher_;
  DownloadsController& controller_;
};

struct SentPayloadBytes {
  PeerRef target;
  uint32_t inner_type;
  std::vector<uint8_t> data;
};

class FixedClock final : public TransferClock {
 public:
  uint64_t SystemTime100ns() override { return 16'000'000'000'000'000ull; }
};

// A message as the sending peer writes it: code, identifier and number,
// then the bytes.
std::vector<uint8_t> Message(uint8_t code, uint32_t id, uint64_t number, const std::string& bytes = {}) {
  std::vector<uint8_t> m(12);
  StoreMessageHeader(m.data(), code, id, number);
  m.insert(m.end(), bytes.begin(), bytes.end());
  return m;
}

struct ReceptionFixture : DownloadsFixture {
  explicit ReceptionFixture(bool auto_receive) {
    std::filesystem::create_directory(folder);
    TransferServices s;
    s.sender = &sender;
    s.events = &events;
    s.downloads = &record;
    s.clock = &clock;
    s.settings = [this, auto_receive] {
      TransferSettings settings;
      settings.AutoReceiveFiles = auto_receive;
      settings.FileTransferPath = folder;
      return settings;
    };
    s.peer_name = [](const PeerRef&) { return std::u16string(u"Bob"); };
    FileTransferConfig config;
    config.transfer_thread = false;
    engine = std::make_unique<FileTransferEngine>(s, config);
  }
  void Receive(const std::vector<uint8_t>& m) {
    engine->HandleFileMessage(m.data(), m.size(), Peer(0x11111111, 0x7F000001, 40000), true);
  }

  test::TempDir dir;
  std::string folder = dir / "in";
  ManualDispatcher dispatcher;
  test::PayloadRecorder<SentPayloadBytes> sender;
  ForwardingEvents events{dispatcher, controller};
  StoreDownloadsRecord record{store};
  FixedClock clock;
  std::unique_ptr<FileTransferEngine> engine;
};

TEST(DownloadsWindowTest, FinishedReceptionIsListedAtTheTopAndShowsTheWindowWithAutoReceive) {
  for (const bool auto_receive : {false, true}) {
    SCOPED_TRACE(auto_receive);
    ReceptionFixture f(auto_receive);
    AddDownload(f.store, Peer(1, 1, 1), "/older", "Ann", At(2010, 1, 1, 0, 0, 0));
    f.controller.Refresh();
    f.now = At(2026, 12, 11, 3, 4, 5);
    f.Receive(Message(kFileRequest, 21, 3, std::string("r\0e\0p\0o\0r\0t\0.\0t\0x\0t\0", 20)));
    if (!auto_receive) {  // the person accepts
      const std::vector<TransferView> offered = f.engine->ListTransfers();
      ASSERT_EQ(offered.size(), 1u);
      ASSERT_EQ(f.engine->AcceptIncomingFile(offered[0].handle), AcceptResult::kAccepted);
    }
    f.Receive(Message(kFileBlock, 21, 0, "abc"));
    EXPECT_EQ(f.view.rows.size(), 1u);  // nothing reaches the window but through the interface thread
    f.dispatcher.RunPending();
    ASSERT_EQ(f.view.rows.size(), 2u);
    EXPECT_EQ(f.view.rows[0], (DownloadRow{f.folder + "/report.txt", "Bob", "26/12/11 03:04:05"}));
    EXPECT_EQ(f.view.rows[1].file_name, "/older");
    EXPECT_EQ(f.view.raised, auto_receive ? 1 : 0);
  }
}

}  // namespace
}  // namespace orv
