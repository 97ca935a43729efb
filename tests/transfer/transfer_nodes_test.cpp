// Files between two real nodes over their session, through a relay that
// can hold, reorder or cut the line.
#include <gtest/gtest.h>

#include <set>

#include "net/dispatch.hpp"
#include "node_pair.hpp"

namespace orv {
namespace {

using test::FilesIn;
using test::NodePairTest;
using test::Pattern;
using test::ReadWholeFile;
using test::Relay;
using test::SealedCounter;

TEST_F(NodePairTest, FilesOfEverySizeArriveWhole) {
  Start(true);
  EXPECT_EQ(a_->engine->StartFileTransfer(pair_->BForA(), OutFile("empty", "")).error, StartError::kEmpty);
  const size_t sizes[] = {1, 316, 317, 1 << 20};
  for (size_t size : sizes) {
    const std::string name = "file" + std::to_string(size);
    const std::string contents = Pattern(size, static_cast<unsigned>(size));
    const uint32_t h = Send(OutFile(name, contents));
    ASSERT_TRUE(a_->WaitState(h, kTransferComplete)) << size;
    ASSERT_TRUE(test::WaitFor([&] { return std::filesystem::exists(BFile(name)); })) << size;
    EXPECT_EQ(ReadWholeFile(BFile(name)), contents) << size;
  }
  const auto entries = b_->downloads.Entries();
  ASSERT_EQ(entries.size(), std::size(sizes));
  EXPECT_EQ(entries[0].name, u"Alice");
  EXPECT_TRUE(SameUserId(entries[0].sender.user_id, pair_->a.id()));
  EXPECT_EQ(FilesIn(dir / "b").size(), std::size(sizes));  // no temporary files left
}

TEST_F(NodePairTest, BlocksArrivingZeroTwoOneAreWrittenInOrder) {
  // The fixed window counts every datagram exactly: block 1 goes again only
  // when its resend time is up, never early on a guess of loss.
  Start(false, ClassicTransferWindow());
  auto from_a = std::make_shared<std::atomic<int>>(0);
  auto from_b = std::make_shared<std::atomic<int>>(0);
  // Alice's sealed datagrams: the request, then blocks 0, 1, 2. The first
  // copy of block 1 is lost (a session refuses a datagram older than one
  // it opened, so a late copy would be lost just the same); its resend
  // arrives after block 2.
  pair_->relay.SetFilter([from_a, from_b](Relay::Side side, std::vector<uint8_t>& d) {
    if (test::DatagramTypeOf(d) != 0) return Relay::Verdict::kPass;
    if (side == Relay::Side::kFromB) {
      from_b->fetch_add(1);
      return Relay::Verdict::kPass;
    }
    return from_a->fetch_add(1) + 1 == 3 ? Relay::Verdict::kDrop : Relay::Verdict::kPass;
  });
  const std::string contents = Pattern(316 * 2 + 50);
  const uint32_t h = Send(OutFile("ordered.bin", contents));
  // Bob accepted and acknowledged blocks 0 and 2.
  ASSERT_TRUE(test::WaitFor([&] { return *from_a == 4 && *from_b == 3; }));
  // Alice takes both acknowledgements in before her clock moves (else
  // blocks 0 and 2 would be due again too): she receives in order, so a
  // DHT message Bob sends after them reaches her after them.
  const size_t dht_seen = pair_->a.consumers.Count("dht");
  pair_->b.Send(pair_->AForB(), kInnerDht, {1, 0, 0, 0});
  ASSERT_TRUE(pair_->a.consumers.WaitForCount("dht", dht_seen + 1));
  const uint32_t theirs = b_->WaitFirst();
  EXPECT_EQ(b_->engine->ViewTransfer(theirs)->percent, 33u);
  a_->Tick(5);  // block 1 is sent again, alone
  ASSERT_TRUE(a_->WaitState(h, kTransferComplete));
  ASSERT_TRUE(b_->WaitState(theirs, kTransferComplete));
  EXPECT_EQ(ReadWholeFile(BFile("ordered.bin")), contents);
  EXPECT_EQ(*from_a, 5);
}

TEST_F(NodePairTest, ACancelOnEitherSideEndsBothAndLeavesNoPartialFile) {
  for (const bool sender_cancels : {true, false}) {
    SCOPED_TRACE(sender_cancels ? "the sender cancels" : "the receiver cancels");
    Start(false);
    SealedCounter line;
    line.cut_after = 11;  // the request and ten blocks
    pair_->relay.SetFilter(line);
    const uint32_t h = Send(OutFile("big.bin", Pattern(316 * 20)));
    const uint32_t theirs = b_->WaitFirst();
    ASSERT_TRUE(test::WaitFor([&] {
      auto v = b_->engine->ViewTransfer(theirs);
      return v && v->percent == 50;  // ten of twenty blocks written
    }));
    // The ten acknowledgements came back: Alice sent the next ten, lost.
    ASSERT_TRUE(test::WaitFor([&] { return *line.from_a >= 21; }));
    ASSERT_EQ(FilesIn(dir / "b").size(), 1u);
    line.cut->store(false);
    if (sender_cancels) a_->engine->CancelFileTransfer(h);
    else b_->engine->CancelFileTransfer(theirs);
    ASSERT_TRUE(a_->WaitState(h, kTransferCanceled));
    ASSERT_TRUE(b_->WaitState(theirs, kTransferCanceled));
    EXPECT_TRUE(FilesIn(dir / "b").empty());
    EXPECT_TRUE(b_->downloads.Entries().empty());
    TearDown();
  }
}

TEST_F(NodePairTest, TwoFilesOfOneNameWithAutoReceiveGetNumberedNames) {
  Start(true);
  test::WriteWholeFile(BFile("same.txt"), "already here");
  const uint32_t first = Send(OutFile("1/same.txt", "first file"));
  const uint32_t second = Send(OutFile("2/same.txt", "second file"));
  ASSERT_TRUE(a_->WaitState(first, kTransferComplete));
  ASSERT_TRUE(a_->WaitState(second, kTransferComplete));
  ASSERT_TRUE(test::WaitFor([&] { return b_->downloads.Entries().size() == 2; }));
  EXPECT_EQ(FilesIn(dir / "b"), (std::vector<std::string>{"same (1).txt", "same (2).txt", "same.txt"}));
  const std::set<std::string> contents = {ReadWholeFile(BFile("same (1).txt")),
                                          ReadWholeFile(BFile("same (2).txt"))};
  EXPECT_EQ(contents, (std::set<std::string>{"first file", "second file"}));
  EXPECT_EQ(ReadWholeFile(BFile("same.txt")), "already here");
}

TEST_F(NodePairTest, HostileRequestsOverTheWireStayInTheDownloadFolder) {
  Start(true);
  // Hand-made requests from Alice: a path up and out, a NUL, a lone
  // surrogate, the largest size; then truncated and unknown messages.
  const std::vector<std::vector<uint8_t>> messages = {
      test::Request(0x10, 1, u"../../outside.txt"),   test::Request(0x11, 1, std::u16string(u"a\0/../b", 7)),
      test::Request(0x12, 1, u"x\xd800y"),            test::Request(0x13, UINT64_MAX, u"huge.bin"),
      {0x04, 0x10},                                    {0x09, 0, 0, 0},
      test::Numbered(kFileBlockAck, 0x999, 0),
  };
  for (const auto& m : messages) pair_->a.Send(pair_->BForA(), 2, m);
  ASSERT_TRUE(test::WaitFor([&] { return b_->engine->ListTransfers().size() == 4; }));
  for (uint32_t id = 0x10; id <= 0x12; ++id) pair_->a.Send(pair_->BForA(), 2, test::Block(id, 0, "!"));
  ASSERT_TRUE(test::WaitFor([&] { return b_->downloads.Entries().size() == 3; }));
  for (const auto& e : b_->downloads.Entries()) EXPECT_EQ(FolderOf(e.path), dir / "b");
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"a", "b", "out"}));
  for (const auto& v : b_->engine->ListTransfers()) {
    if (v.size == UINT64_MAX) {
      EXPECT_EQ(v.state, kTransferReceiving);
    }
  }
}

// The peer goes silent in the middle of a transfer: both sides time out
// after thirty seconds of ticks, and the partial download goes. This cuts the
// session's line, so it runs on a pair of its own.
class VanishingPeer : public NodePairTest {};

TEST_F(VanishingPeer, BothSidesTimeOutAndThePartialFileGoes) {
  Start(false);
  SealedCounter line;
  line.cut_after = 11;
  pair_->relay.SetFilter(line);
  const uint32_t h = Send(OutFile("big.bin", Pattern(316 * 40)));
  const uint32_t theirs = b_->WaitFirst();
  ASSERT_TRUE(test::WaitFor([&] {
    auto v = b_->engine->ViewTransfer(theirs);
    return v && v->percent == 25;
  }));
  // The ten acknowledgements are in once each has let two more blocks out
  // (the window grows by one block per acknowledgement at first).
  ASSERT_TRUE(test::WaitFor([&] { return *line.from_a >= 31; }));
  line.cut_b->store(true);  // Bob is gone both ways
  a_->Tick(599);
  b_->Tick(599);
  EXPECT_EQ(a_->State(h), kTransferSending);
  EXPECT_EQ(b_->State(theirs), kTransferReceiving);
  a_->Tick(1);
  b_->Tick(1);
  EXPECT_EQ(a_->State(h), kTransferTimedOut);
  EXPECT_EQ(b_->State(theirs), kTransferTimedOut);
  EXPECT_EQ(a_->events.Last(h).text, "Connection timeout");
  EXPECT_TRUE(FilesIn(dir / "b").empty());
}

}  // namespace
}  // namespace orv
