// The engine's behaviour with time driven by ticks: offering, the sender's
// window, receiving out of order into a temporary file, cancels and
// time-outs, naming, and input no peer should send.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine_fixture.hpp"

namespace orv {
namespace {

using test::Block;
using test::CapturingSender;
using test::Control;
using test::EngineTest;
using test::FilesIn;
using test::Numbered;
using test::Pattern;
using test::ReadWholeFile;
using test::Request;
using test::SentPayload;

TEST_F(EngineTest, AFileThatCannotBeSentIsNotOffered) {
  test::WriteWholeFile(Out() + "/empty", "");
  EXPECT_EQ(engine->StartFileTransfer(peer, Out() + "/empty").error, StartError::kEmpty);
  EXPECT_EQ(engine->StartFileTransfer(peer, Out() + "/missing").error, StartError::kCantOpen);
  EXPECT_EQ(engine->StartFileTransfer(peer, Out()).error, StartError::kCantOpen);  // a folder
  EXPECT_EQ(StartErrorText(StartError::kEmpty), "File is empty");
  EXPECT_EQ(StartErrorText(StartError::kCantOpen), "Can't open file for transfer");
  EXPECT_TRUE(sender.Take().empty());
  EXPECT_TRUE(engine->ListTransfers().empty());
}

TEST_F(EngineTest, TheRequestIsRepeatedUntilAnsweredAndTimesOutAfterThirtySilentSeconds) {
  uint32_t id = 0;
  test::WriteWholeFile(Out() + "/notes.txt", "hello");
  const TransferStart start = engine->StartFileTransfer(peer, Out() + "/notes.txt");
  const auto sent = sender.Take();
  ASSERT_EQ(sent.size(), 1u);
  const SentPayload& request = sent[0];
  id = request.id();
  EXPECT_EQ(request.inner_type, 2u);
  EXPECT_LT(id, 1u << 24);
  EXPECT_EQ(request.code(), kFileRequest);
  EXPECT_EQ(request.number(), 5u);
  EXPECT_EQ(request.data.size(), 12u + 2 * 9);
  EXPECT_EQ(std::string(request.data.begin() + 12, request.data.begin() + 14), std::string("n\0", 2));
  EXPECT_EQ(events.Last(start.handle).title, "notes.txt");
  EXPECT_EQ(events.Last(start.handle).text, "Waiting");
  EXPECT_EQ(log.Messages("File Transfer"), std::vector<std::string>{"File transfer is started"});

  Tick(49);
  EXPECT_TRUE(sender.Take().empty());
  Tick(1);
  EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{kFileRequest});
  Receive(Control(kFileWaiting, id));  // the receiver has not decided: thirty more seconds
  Tick(599);
  EXPECT_EQ(State(start.handle), kTransferWaiting);
  Tick(1);
  EXPECT_EQ(State(start.handle), kTransferTimedOut);
  EXPECT_EQ(events.Last(start.handle).text, "Connection timeout");
  Tick(600);
  EXPECT_FALSE(engine->ViewTransfer(start.handle));
  EXPECT_EQ(events.Count("closed"), 1u);
  EXPECT_EQ(log.Messages("File Transfer").back(), "File transfer closed");
}

TEST_F(EngineTest, TheSenderKeepsTenBlocksInFlightAndResendsEveryQuarterSecond) {
  uint32_t id = 0;
  const uint32_t h = Offer(Pattern(316 * 20), id);
  Receive(Control(kFileAccept, id));
  auto sent = sender.Take();
  ASSERT_EQ(sent.size(), 10u);
  for (uint64_t b = 0; b < 10; ++b) {
    EXPECT_EQ(sent[b].code(), kFileBlock);
    EXPECT_EQ(sent[b].number(), b);
    EXPECT_EQ(sent[b].data.size(), 328u);
  }
  Tick(4);
  EXPECT_TRUE(sender.Take().empty());
  Tick(1);
  EXPECT_EQ(sender.Take().size(), 10u);
  Receive(Numbered(kFileBlockAck, id, 3));
  sent = sender.Take();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].number(), 10u);
  EXPECT_EQ(State(h), kTransferSending);
}

TEST_F(EngineTest, TheWindowAndResendTimeComeFromOnePlace) {
  TransferWindow window;
  window.blocks_in_flight = 4;
  window.resend_ticks = 2;
  MakeEngine(window);
  uint32_t id = 0;
  Offer(Pattern(316 * 20), id);
  Receive(Control(kFileAccept, id));
  EXPECT_EQ(sender.Take().size(), 4u);
  Tick(2);
  EXPECT_EQ(sender.Take().size(), 4u);
}

// Acknowledgements grow the window; a whole time-out without any collapses
// it, and the blocks due go out again no more than the collapsed window at
// a time, the rest at the next ticks.
TEST_F(EngineTest, AfterASilenceTheBlocksDueAreResentTenAtATime) {
  uint32_t id = 0;
  const uint32_t h = Offer(Pattern(316 * 200), id);
  Receive(Control(kFileAccept, id));
  EXPECT_EQ(sender.Take().size(), 10u);
  for (uint64_t b = 0; b < 30; ++b) Receive(Numbered(kFileBlockAck, id, b));
  EXPECT_EQ(engine->ViewTransfer(h)->window, 40u);
  EXPECT_EQ(sender.Take().size(), 60u);  // each acknowledgement let two more out
  Tick(4);
  EXPECT_TRUE(sender.Take().empty());
  Tick(1);
  EXPECT_EQ(sender.Take().size(), 10u);
  EXPECT_EQ(engine->ViewTransfer(h)->window, 10u);
  Tick(1);
  EXPECT_EQ(sender.Take().size(), 10u);
}

TEST_F(EngineTest, A317ByteFileTravelsAsTwoBlocksTheSecondOfOneByte) {
  uint32_t id = 0;
  const std::string contents = Pattern(317);
  const uint32_t h = Offer(contents, id);
  Receive(Control(kFileAccept, id));
  const auto sent = sender.Take();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].data.size(), 13u);
  EXPECT_EQ(sent[1].data[12], static_cast<uint8_t>(contents[316]));
  Receive(Numbered(kFileBlockAck, id, 1));
  EXPECT_EQ(State(h), kTransferSending);
  Receive(Numbered(kFileBlockAck, id, 0));
  EXPECT_EQ(State(h), kTransferComplete);
  const TransferView v = events.Last(h);
  EXPECT_EQ(v.text, "File received");
  EXPECT_EQ(v.cancel_label, "Close");
  EXPECT_EQ(v.percent, 100u);
  EXPECT_FALSE(v.save_as_shown);
}

TEST_F(EngineTest, BlocksArrivingZeroTwoOneAreWrittenInOrderUnderATemporaryName) {
  const std::string contents = Pattern(316 * 2 + 100);
  const uint32_t id = 0x123456;
  const uint32_t h = Offered(id, contents.size(), u"report.txt");
  EXPECT_TRUE(events.Last(h).save_as_shown);
  EXPECT_EQ(events.Last(h).text, "FILE TRANSFER REQUEST!");
  EXPECT_EQ(*engine->ProposedPath(h), In() + "/report.txt");
  ASSERT_EQ(engine->AcceptIncomingFile(h), AcceptResult::kAccepted);
  EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{kFileAccept});

  Receive(Block(id, 0, contents.substr(0, 316)));
  Receive(Block(id, 2, contents.substr(632)));
  // Half received: only the temporary file exists; the real name does not.
  const auto during = FilesIn(In());
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0].rfind(".orv-transfer-", 0), 0u);
  EXPECT_EQ(events.Last(h).save_as_shown, false);
  Receive(Block(id, 1, contents.substr(316, 316)));

  const auto acks = sender.Take();
  ASSERT_EQ(acks.size(), 3u);
  EXPECT_EQ(acks[0].number(), 0u);
  EXPECT_EQ(acks[1].number(), 2u);
  EXPECT_EQ(acks[2].number(), 1u);
  EXPECT_EQ(State(h), kTransferComplete);
  EXPECT_EQ(FilesIn(In()), std::vector<std::string>{"report.txt"});
  EXPECT_EQ(ReadWholeFile(In() + "/report.txt"), contents);
  const auto entries = downloads.Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].path, In() + "/report.txt");
  EXPECT_EQ(entries[0].name, u"Bob");
  EXPECT_EQ(entries[0].time, clock.now.load());
  EXPECT_TRUE(SameUserId(entries[0].sender.user_id, peer.user_id));
  EXPECT_EQ(events.downloads_changed, std::vector<bool>{false});
  EXPECT_EQ(log.Messages("File Transfer"),
            (std::vector<std::string>{"Received request for file transfer", "File transfer is accepted",
                                      "File transfer is finished"}));
}

TEST_F(EngineTest, RepeatedBlocksAreAcknowledgedAndKeptOnce) {
  const std::string contents = Pattern(316 * 12);
  const uint32_t id = 7;
  const uint32_t h = Offered(id, contents.size());
  engine->AcceptIncomingFile(h);
  sender.Take();
  auto block = [&](uint64_t b) { Receive(Block(id, b, contents.substr(b * 316, 316))); };
  block(1);
  block(1);  // held already: a second slot would leave no room for block 10
  for (uint64_t b = 2; b <= 10; ++b) block(b);
  EXPECT_EQ(sender.Take().size(), 11u);  // every copy acknowledged
  block(0);
  block(0);  // an old copy: acknowledged again, not written again
  EXPECT_EQ(sender.Take().size(), 2u);
  block(11);
  EXPECT_EQ(State(h), kTransferComplete);
  EXPECT_EQ(ReadWholeFile(In() + "/report.txt"), contents);
}

TEST_F(EngineTest, BlocksOfTheWrongLengthOrBeyondTheFileAreDropped) {
  const uint32_t id = 8;
  const uint32_t h = Offered(id, 400);
  engine->AcceptIncomingFile(h);
  sender.Take();
  Receive(Block(id, 0, std::string(300, 'x')));  // block 0 has 316 bytes
  Receive(Block(id, 1, std::string(316, 'x')));  // block 1 has 84
  Receive(Block(id, 2, std::string(10, 'x')));   // there is no block 2
  Receive(Block(id, ~0ull, std::string(10, 'x')));
  EXPECT_TRUE(sender.Take().empty());
  EXPECT_EQ(State(h), kTransferReceiving);
}

enum class Ending { kPersonCancels, kPeerCancels, kTimeOut, kShutdown };

class PartialDownload : public EngineTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(PartialDownload, IsDeleted) {
  const uint32_t id = 9;
  const uint32_t h = Offered(id, 316 * 3);
  engine->AcceptIncomingFile(h);
  Receive(Block(id, 0, Pattern(316)));
  ASSERT_EQ(FilesIn(In()).size(), 1u);
  switch (GetParam()) {
    case Ending::kPersonCancels:
      engine->CancelFileTransfer(h);
      EXPECT_EQ(State(h), kTransferCancelling);
      break;
    case Ending::kPeerCancels:
      Receive(Control(kFileCancel, id));
      EXPECT_EQ(State(h), kTransferCanceled);
      break;
    case Ending::kTimeOut:
      Tick(kActiveTimeoutTicks);
      EXPECT_EQ(State(h), kTransferTimedOut);
      break;
    case Ending::kShutdown:
      engine->StopFileTransfers();
      EXPECT_EQ(events.Count("closed"), 1u);
      break;
  }
  EXPECT_TRUE(FilesIn(In()).empty());
}

INSTANTIATE_TEST_SUITE_P(Endings, PartialDownload,
                         ::testing::Values(Ending::kPersonCancels, Ending::kPeerCancels, Ending::kTimeOut,
                                           Ending::kShutdown));

TEST_F(EngineTest, CancellingRepeatsTheCancelUntilConfirmed) {
  uint32_t id = 0;
  const uint32_t h = Offer(Pattern(1000), id);
  Receive(Control(kFileAccept, id));
  sender.Take();
  EXPECT_TRUE(engine->CancelFileTransfer(h));
  EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{kFileCancel});
  EXPECT_EQ(events.Count("closed"), 1u);
  Tick(50);
  EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{kFileCancel});
  Tick(550);
  EXPECT_EQ(State(h), kTransferCanceled);  // 30 s without confirmation
  Tick(600);
  EXPECT_FALSE(engine->ViewTransfer(h));
  EXPECT_EQ(events.Count("closed"), 1u);  // the window was gone already
}

TEST_F(EngineTest, RefusingARequestSendsARefusal) {
  const uint32_t h = Offered(10, 50);
  engine->CancelFileTransfer(h);
  EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{kFileRefuse});
  Receive(Control(kFileCancelDone, 10));
  EXPECT_EQ(State(h), kTransferCanceled);
}

TEST_F(EngineTest, ClosingAnEndedTransferRetiresItAtTheNextTickWithoutWrapping) {
  const uint32_t h = Offered(11, 50);
  Receive(Control(kFileCancel, 11));
  ASSERT_EQ(State(h), kTransferCanceled);
  engine->CancelFileTransfer(h);  // its time-out becomes 0
  EXPECT_TRUE(engine->ViewTransfer(h));
  Tick();
  EXPECT_FALSE(engine->ViewTransfer(h));
  EXPECT_EQ(log.Messages("File Transfer").back(), "File transfer closed");
}

TEST_F(EngineTest, AutoReceiveNumbersTheNameWhenTaken) {
  SetAutoReceive(true);
  test::WriteWholeFile(In() + "/report.txt", "old");
  test::WriteWholeFile(In() + "/report (1).txt", "older");
  const uint32_t h = Offered(12, 3);
  EXPECT_EQ(State(h), kTransferReceiving);
  Receive(Block(12, 0, "new"));
  EXPECT_EQ(ReadWholeFile(In() + "/report (2).txt"), "new");
  EXPECT_EQ(ReadWholeFile(In() + "/report.txt"), "old");
  EXPECT_EQ(events.downloads_changed, std::vector<bool>{true});
}

TEST_F(EngineTest, TwoTransfersOfferingOneNameAtOnceGetDifferentNames) {
  SetAutoReceive(true);
  const uint32_t first = Offered(13, 5);
  const uint32_t second = Offered(14, 5);
  EXPECT_NE(engine->ViewTransfer(first)->path, engine->ViewTransfer(second)->path);
  Receive(Block(14, 0, "BBBBB"));
  Receive(Block(13, 0, "AAAAA"));
  EXPECT_EQ(FilesIn(In()), (std::vector<std::string>{"report (1).txt", "report.txt"}));
  EXPECT_EQ(ReadWholeFile(engine->ViewTransfer(first)->path), "AAAAA");
  EXPECT_EQ(ReadWholeFile(engine->ViewTransfer(second)->path), "BBBBB");
}

TEST_F(EngineTest, AFileThatTookTheNameMeanwhileIsNotReplaced) {
  SetAutoReceive(true);
  const uint32_t h = Offered(15, 3);
  test::WriteWholeFile(In() + "/report.txt", "someone else's");
  Receive(Block(15, 0, "new"));
  EXPECT_EQ(ReadWholeFile(In() + "/report.txt"), "someone else's");
  EXPECT_EQ(engine->ViewTransfer(h)->path, In() + "/report (1).txt");
  EXPECT_EQ(ReadWholeFile(In() + "/report (1).txt"), "new");
}

TEST_F(EngineTest, AChosenPathReplacesTheFileThere) {
  test::WriteWholeFile(Out() + "/mine.txt", "old contents");
  const uint32_t h = Offered(16, 3);
  EXPECT_EQ(engine->AcceptIncomingFile(h, Out()), AcceptResult::kCantCreate);  // a folder
  ASSERT_EQ(engine->AcceptIncomingFile(h, Out() + "/mine.txt"), AcceptResult::kAccepted);
  Receive(Block(16, 0, "new"));
  EXPECT_EQ(ReadWholeFile(Out() + "/mine.txt"), "new");
  EXPECT_EQ(engine->AcceptIncomingFile(h), AcceptResult::kNotWaiting);
}

TEST_F(EngineTest, AFileThatCannotBeCreatedLeavesTheRequestOpen) {
  settings.FileTransferPath = dir / "no such folder";
  const uint32_t h = Offered(17, 3);
  EXPECT_EQ(engine->AcceptIncomingFile(h), AcceptResult::kCantCreate);
  EXPECT_EQ(State(h), kTransferRequested);
  SetAutoReceive(true);
  const uint32_t automatic = Offered(18, 3);
  EXPECT_EQ(State(automatic), kTransferRequested);
  EXPECT_EQ(events.messages, std::vector<std::string>{"Error: Can't create file"});
}

TEST_F(EngineTest, StrangersAreRefusedWhenOnlyContactsMaySendFiles) {
  Receive(Request(19, 10, u"x"), false);
  EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{kFileCancel});
  EXPECT_EQ(events.Count("added"), 0u);
  std::array<uint32_t, kUserIdWords> id{};
  std::copy(peer.user_id, peer.user_id + kUserIdWords, id.begin());
  contacts.contacts.push_back(id);
  Receive(Request(19, 10, u"x"), false);
  EXPECT_EQ(events.Count("added"), 1u);
}

TEST_F(EngineTest, TransfersEachWayWithOneIdentifierStayApart) {
  uint32_t id = 0;
  const uint32_t mine = Offer(Pattern(316 * 2), id);
  const uint32_t theirs = Offered(id, 3);  // the peer drew the same identifier
  ASSERT_NE(mine, theirs);
  EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{});
  Receive(Control(kFileAccept, id));  // the peer accepts my file
  EXPECT_EQ(State(mine), kTransferSending);
  EXPECT_EQ(State(theirs), kTransferRequested);
  engine->AcceptIncomingFile(theirs);
  Receive(Block(id, 0, "abc"));  // the peer's file arrives
  EXPECT_EQ(State(theirs), kTransferComplete);
  EXPECT_EQ(State(mine), kTransferSending);
  Receive(Control(kFileCancel, id));  // a cancel goes to the one still running
  EXPECT_EQ(State(mine), kTransferCanceled);
  EXPECT_EQ(State(theirs), kTransferComplete);
}

TEST_F(EngineTest, HostileNamesLandInsideTheDownloadFolder) {
  SetAutoReceive(true);
  const std::u16string names[] = {u"../../escape.txt", u"..\\..\\escape.txt", u"..", u"/tmp/abs.txt",
                                  std::u16string(u"nul\0/../x", 9), u"bad\xdc00"};
  uint32_t id = 100;
  for (const auto& name : names) {
    const uint32_t h = Offered(++id, 1, name);
    Receive(Block(id, 0, "z"));
    ASSERT_EQ(State(h), kTransferComplete);
    const std::string path = engine->ViewTransfer(h)->path;
    EXPECT_EQ(FolderOf(path), In());
    EXPECT_EQ(ReadWholeFile(path), "z");
  }
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"in", "out"}));
  EXPECT_EQ(FilesIn(In()).size(), std::size(names));
}

TEST_F(EngineTest, TheLargestSizeIsHandledWithoutOverflow) {
  const uint64_t size = UINT64_MAX;
  const uint32_t h = Offered(20, size);
  ASSERT_EQ(engine->AcceptIncomingFile(h), AcceptResult::kAccepted);
  Receive(Block(20, 0, Pattern(316)));
  const uint64_t last = BlocksFor(size) - 1;
  Receive(Block(20, last, std::string(BlockLength(size, last), 'q')));
  Receive(Block(20, last + 1, "q"));
  const auto acks = sender.Take();
  ASSERT_EQ(acks.size(), 3u);
  EXPECT_EQ(acks[2].number(), last);
  clock.now += 10'000'000;
  Tick(7);
  const TransferView v = events.Last(h);
  EXPECT_EQ(v.text, "Received 316 B out of 18446744 TB, speed 0.32 KB/sec, time left 277777777 h");
  EXPECT_EQ(v.percent, 0u);
  engine->CancelFileTransfer(h);
  EXPECT_TRUE(FilesIn(In()).empty());
}

TEST_F(EngineTest, TruncatedAndUnknownMessagesChangeNothing) {
  uint32_t id = 0;
  const uint32_t mine = Offer(Pattern(1000), id);
  Receive(Control(kFileAccept, id));
  const uint32_t theirs = Offered(0x654321, 1000);
  engine->AcceptIncomingFile(theirs);
  sender.Take();
  const std::vector<uint8_t> full[] = {Request(0x777777, 10, u"abc"), Block(0x654321, 0, Pattern(316)),
                                       Numbered(kFileBlockAck, id, 0)};
  for (const auto& m : full)
    for (size_t n = 0; n < 12; ++n) Receive(std::vector<uint8_t>(m.begin(), m.begin() + n));
  for (uint32_t code = 9; code < 256; code += 13) Receive(Control(static_cast<uint8_t>(code), id));
  // Truncated requests are answered with a cancel; the rest is ignored.
  for (const auto& p : sender.Take()) EXPECT_EQ(p.code(), kFileCancel);
  EXPECT_EQ(engine->ListTransfers().size(), 2u);
  EXPECT_EQ(State(mine), kTransferSending);
  EXPECT_EQ(State(theirs), kTransferReceiving);
}

TEST_F(EngineTest, ARunningTransferShowsItsProgress) {
  uint32_t id = 0;
  const uint32_t h = Offer(Pattern(316 * 40), id);
  Receive(Control(kFileAccept, id));
  clock.now += 10'000'000;  // one second
  Tick(7);
  const TransferView v = events.Last(h);
  EXPECT_EQ(v.text, "Transfered 3 KB out of 12 KB, speed 3.16 KB/sec, time left 3 sec");
  EXPECT_EQ(v.percent, 25u);
  EXPECT_FALSE(v.marquee);
  const auto list = engine->ListTransfers();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_TRUE(list[0].sending);
}

// Points this process's descriptor of `path` at /dev/full, where every
// write fails for want of space.
bool FillDiskUnder(const std::string& path) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) != path) continue;
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    const int fd = std::stoi(entry.path().filename().string());
    const bool done = full >= 0 && ::dup3(full, fd, O_CLOEXEC) == fd;
    if (full >= 0) ::close(full);
    return done;
  }
  return false;
}

// A full disk while receiving: the download stops without a partial file,
// and the log and the transfer's status say why (the peer only learns of
// the cancel).
TEST_F(EngineTest, AFullDiskStopsTheDownloadAndSaysWhy) {
  const std::string contents = Pattern(316 * 3);
  const uint32_t id = 0x4242;
  const uint32_t h = Offered(id, contents.size());
  ASSERT_EQ(engine->AcceptIncomingFile(h), AcceptResult::kAccepted);
  Receive(Block(id, 0, contents.substr(0, 316)));
  const std::vector<std::string> parts = FilesIn(In());
  ASSERT_EQ(parts.size(), 1u);
  const std::string part = In() + "/" + parts[0];
  ASSERT_TRUE(FillDiskUnder(part));
  sender.Take();

  Receive(Block(id, 1, contents.substr(316, 316)));
  EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{kFileCancel});
  EXPECT_EQ(events.Last(h).text, "Cancelling Transfer: No space left on device");
  EXPECT_TRUE(FilesIn(In()).empty());
  const std::vector<std::string> lines = log.Messages("File Transfer");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Can't write the received file " + part + ": No space left on device"),
            lines.end());
  Receive(Control(kFileCancelDone, id));
  EXPECT_EQ(State(h), kTransferCanceled);
  EXPECT_EQ(events.Last(h).text, "Transfer is canceled: No space left on device");
}

}  // namespace
}  // namespace orv
