// What one peer can make this side keep: requests waiting for the person
// and incoming transfers are bounded per peer, and automatic naming gives
// many offers of one name their numbers one after another.
#include <gtest/gtest.h>

#include "engine_fixture.hpp"

namespace orv {
namespace {

using test::Block;
using test::CapturingSender;
using test::Control;
using test::EngineTest;
using test::FilesIn;
using test::ReadWholeFile;
using test::Request;

class OfferBounds : public EngineTest {
 protected:
  // `count` requests from `from` with new identifiers from `first_id` on;
  // the codes sent back.
  std::vector<uint8_t> Offers(const PeerRef& from, uint32_t first_id, uint32_t count, uint64_t size = 10) {
    for (uint32_t id = first_id; id < first_id + count; ++id) {
      const auto m = Request(id, size, u"x.bin");
      engine->HandleFileMessage(m.data(), m.size(), from, true);
    }
    return CapturingSender::Codes(sender.Take());
  }
};

TEST_F(OfferBounds, BeyondEightWaitingRequestsAPeerIsRefusedWithoutAWindow) {
  EXPECT_TRUE(Offers(peer, 1, kMaxWaitingOffersPerPeer).empty());
  EXPECT_EQ(events.Count("added"), kMaxWaitingOffersPerPeer);
  EXPECT_EQ(Offers(peer, 100, 3), std::vector<uint8_t>(3, kFileRefuse));
  EXPECT_EQ(events.Count("added"), kMaxWaitingOffersPerPeer);
  EXPECT_EQ(engine->ListTransfers().size(), kMaxWaitingOffersPerPeer);
  // A request repeated is still answered as waiting; another peer has its own share.
  EXPECT_EQ(Offers(peer, 1, 1), std::vector<uint8_t>{kFileWaiting});
  EXPECT_TRUE(Offers(test::PeerWith(0x22222222), 1, 1).empty());
  // Once the person answers one, the peer may offer one more.
  engine->CancelFileTransfer(events.Events()[0].view.handle);
  sender.Take();
  EXPECT_TRUE(Offers(peer, 200, 1).empty());
  EXPECT_EQ(Offers(peer, 201, 1), std::vector<uint8_t>{kFileRefuse});
}

// Offers ended at once by the peer still show for 30 s each: a peer that
// offers and cancels in a loop is held to its share until they retire.
TEST_F(OfferBounds, TransfersAPeerEndsAtOnceCountUntilTheyRetire) {
  for (uint32_t id = 1; id <= kMaxIncomingPerPeer; ++id) {
    EXPECT_TRUE(Offers(peer, id, 1).empty());
    Receive(Control(kFileCancel, id));
    EXPECT_EQ(CapturingSender::Codes(sender.Take()), std::vector<uint8_t>{kFileCancelDone});
  }
  EXPECT_EQ(Offers(peer, 1000, 1), std::vector<uint8_t>{kFileRefuse});
  Tick(kShortTimeoutTicks);
  EXPECT_TRUE(engine->ListTransfers().empty());
  EXPECT_TRUE(Offers(peer, 1001, 1).empty());
}

TEST_F(OfferBounds, MessagesFindTheirTransferAmongMany) {
  const uint32_t kPeers = 40;
  for (uint32_t p = 0; p < kPeers; ++p) Offers(test::PeerWith(0x30000000 + p), 7, 2);
  const PeerRef last = test::PeerWith(0x30000000 + kPeers - 1);
  const auto cancel = Control(kFileCancel, 8);
  engine->HandleFileMessage(cancel.data(), cancel.size(), last, true);
  sender.Take();
  size_t cancelled = 0;
  for (const TransferView& v : engine->ListTransfers()) cancelled += v.state == kTransferCanceled;
  EXPECT_EQ(cancelled, 1u);
  const auto views = engine->ListTransfers();
  ASSERT_EQ(views.size(), 2 * kPeers);
  EXPECT_EQ(views.back().state, kTransferCanceled);  // the list keeps the order of arrival
  Tick(kShortTimeoutTicks);
  EXPECT_EQ(engine->ListTransfers().size(), 2 * kPeers - 1);
  // The retired one is gone from the index too: its identifier is new again.
  EXPECT_TRUE(Offers(last, 8, 1).empty());
  EXPECT_EQ(engine->ListTransfers().size(), 2 * kPeers);
}

TEST_F(OfferBounds, AnEmptyOfferWaitsForThePersonEvenWithAutoReceive) {
  SetAutoReceive(true);
  const uint32_t h = Offered(40, 0, u"empty.txt");
  EXPECT_EQ(State(h), kTransferRequested);
  EXPECT_TRUE(FilesIn(In()).empty());
  EXPECT_TRUE(downloads.Entries().empty());
  ASSERT_EQ(engine->AcceptIncomingFile(h), AcceptResult::kAccepted);  // the person may still take it
  EXPECT_EQ(State(h), kTransferComplete);
  EXPECT_EQ(FilesIn(In()), std::vector<std::string>{"empty.txt"});
}

TEST_F(OfferBounds, OffersOfOneNameAreNumberedOnFromTheLastNumberGiven) {
  SetAutoReceive(true);
  const uint32_t kFiles = 20;
  std::vector<std::string> expected{"same.txt"};
  for (uint32_t n = 1; n < kFiles; ++n) expected.push_back("same (" + std::to_string(n) + ").txt");
  std::vector<std::string> paths;
  for (uint32_t id = 1; id <= kFiles; ++id) {
    const uint32_t h = Offered(id, 1, u"same.txt");
    Receive(Block(id, 0, "z"));
    ASSERT_EQ(State(h), kTransferComplete);
    paths.push_back(engine->ViewTransfer(h)->path);
  }
  for (uint32_t i = 0; i < kFiles; ++i) EXPECT_EQ(paths[i], In() + "/" + expected[i]);
  // A number taken on disk meanwhile is still passed over.
  test::WriteWholeFile(In() + "/same (20).txt", "someone else's");
  const uint32_t h = Offered(kFiles + 1, 1, u"same.txt");
  Receive(Block(kFiles + 1, 0, "z"));
  EXPECT_EQ(engine->ViewTransfer(h)->path, In() + "/same (21).txt");
  EXPECT_EQ(ReadWholeFile(In() + "/same (20).txt"), "someone else's");
}

}  // namespace
}  // namespace orv
