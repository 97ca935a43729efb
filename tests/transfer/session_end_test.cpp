// Transfers whose peer is gone: ended at once when the peer closes its
// session, and the temporary files of downloads that a killed run left
// behind removed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

#include "engine_fixture.hpp"
#include "transfer/transfer_file.hpp"

namespace orv {
namespace {

using test::EngineTest;
using test::FilesIn;

TEST_F(EngineTest, APeerThatClosesItsSessionEndsItsTransfersAtOnce) {
  // One download running, one upload waiting for its answer, both with the
  // peer; one upload to somebody else.
  const uint32_t down = Offered(0x010203, 316 * 3);
  ASSERT_EQ(engine->AcceptIncomingFile(down), AcceptResult::kAccepted);
  Receive(test::Block(0x010203, 0, test::Pattern(316)));
  sender.Take();  // the accept and the acknowledgement
  uint32_t up_id = 0;
  const uint32_t up = Offer(test::Pattern(500), up_id);
  const PeerRef someone_else = test::PeerWith(0x22222222);
  const uint32_t other = engine->StartFileTransfer(someone_else, Out() + "/data.bin").handle;
  ASSERT_EQ(FilesIn(In()).size(), 1u);  // the partial download

  engine->PeerSessionEnded(peer);
  EXPECT_EQ(State(down), kTransferTimedOut);
  EXPECT_EQ(State(up), kTransferTimedOut);
  EXPECT_EQ(events.Last(up).text, "Connection timeout");
  EXPECT_EQ(State(other), kTransferWaiting);
  EXPECT_TRUE(FilesIn(In()).empty());
}

// A file named as our downloads' temporary files are, `age_s` seconds old.
void MakeFile(const std::string& path, int64_t age_s) {
  std::ofstream(path) << "partial";
  const timespec old{::time(nullptr) - age_s, 0};
  const timespec times[2] = {old, old};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(EngineTest, OnlyOurAbandonedTemporaryFilesAreSweptAway) {
  const std::string folder = In();
  MakeFile(folder + "/.orv-transfer-0a1b2c3d-0.part", 600);   // ours, abandoned
  MakeFile(folder + "/.orv-transfer-0a1b2c3d-1.part", 10);    // ours, maybe still written
  MakeFile(folder + "/movie.mp4.part", 600);                   // another program's
  MakeFile(folder + "/.orv-transfer-0a1b2c3d-x.part", 600);   // not our pattern
  MakeFile(folder + "/.orv-transfer-0a1b2c-0.part", 600);     // not our pattern
  std::filesystem::create_directory(folder + "/.orv-transfer-00000000-0.part");
  EXPECT_EQ(SweepAbandonedParts(folder), 1u);
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{".orv-transfer-00000000-0.part", ".orv-transfer-0a1b2c-0.part",
                                                       ".orv-transfer-0a1b2c3d-1.part", ".orv-transfer-0a1b2c3d-x.part",
                                                       "movie.mp4.part"}));
  EXPECT_EQ(SweepAbandonedParts(""), 0u);  // no folder set: nothing is touched
}

TEST_F(EngineTest, AStartSweepsTheDownloadFolder) {
  MakeFile(In() + "/.orv-transfer-00000001-0.part", 3600);
  MakeEngine();
  EXPECT_TRUE(FilesIn(In()).empty());
}

}  // namespace
}  // namespace orv
