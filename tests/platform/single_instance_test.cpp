#include "platform/single_instance.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#include "platform/runtime_dir.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::TempDir;

constexpr uint32_t kAlice[8] = {0x0123ABCD, 1, 2, 3, 4, 5, 6, 0x89ABCDEF};
constexpr uint32_t kBob[8] = {0xFFFFFFFF, 0, 0, 0, 0, 0, 0, 0};

TEST(InstanceFileStemTest, IsTheUserIdTextWithDashes) {
  EXPECT_EQ(InstanceFileStem(kAlice), "orv-0123ABCD-00000001-00000002-00000003-00000004-00000005-00000006-89ABCDEF");
}

TEST(SingleInstanceTest, SecondCopyWithTheSameIdIsRefusedAndTheFirstIsAskedToShow) {
  TempDir dir;
  std::atomic<int> shown{0};
  InstanceClaim first = ClaimInstance(dir.path(), kAlice, [&] { ++shown; });
  ASSERT_EQ(first.state, InstanceClaimState::kFirst);
  ASSERT_TRUE(first.lock);
  EXPECT_EQ(first.lock->lock_path(), dir / (InstanceFileStem(kAlice) + ".lock"));

  InstanceClaim second = ClaimInstance(dir.path(), kAlice, [] { FAIL() << "the second copy is never asked"; });
  EXPECT_EQ(second.state, InstanceClaimState::kOtherRuns);
  EXPECT_FALSE(second.lock);
  EXPECT_TRUE(AskOtherCopyToShow(dir.path(), kAlice));
  EXPECT_EQ(shown.load(), 1);  // the answer comes after the request was handled
  EXPECT_TRUE(AskOtherCopyToShow(dir.path(), kAlice));
  EXPECT_EQ(shown.load(), 2);
}

TEST(SingleInstanceTest, CopiesWithDifferentIdsRunSideBySide) {
  TempDir dir;
  std::atomic<int> alice_shown{0}, bob_shown{0};
  InstanceClaim alice = ClaimInstance(dir.path(), kAlice, [&] { ++alice_shown; });
  InstanceClaim bob = ClaimInstance(dir.path(), kBob, [&] { ++bob_shown; });
  EXPECT_EQ(alice.state, InstanceClaimState::kFirst);
  EXPECT_EQ(bob.state, InstanceClaimState::kFirst);
  EXPECT_TRUE(AskOtherCopyToShow(dir.path(), kBob));
  EXPECT_EQ(alice_shown.load(), 0);
  EXPECT_EQ(bob_shown.load(), 1);
}

TEST(SingleInstanceTest, EndingTheFirstCopyLetsTheNextOneRun) {
  TempDir dir;
  InstanceClaim first = ClaimInstance(dir.path(), kAlice, nullptr);
  ASSERT_EQ(first.state, InstanceClaimState::kFirst);
  first.lock.reset();
  EXPECT_FALSE(std::filesystem::exists(dir / (InstanceFileStem(kAlice) + ".sock")));
  EXPECT_EQ(ClaimInstance(dir.path(), kAlice, nullptr).state, InstanceClaimState::kFirst);
}

// A copy that died without cleaning up leaves its lock file and its socket
// file behind; neither keeps the next copy out, and the next copy can be
// asked to show itself.
TEST(SingleInstanceTest, FilesLeftByADeadCopyDoNotBlock) {
  TempDir dir;
  const std::string stem = InstanceFileStem(kAlice);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open((dir / (stem + ".lock")).c_str(), O_RDWR | O_CREAT, 0600);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = dir / (stem + ".sock");
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const bool ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 && sock >= 0 &&
                    ::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(sock, 1) == 0;
    ::_exit(ok ? 0 : 1);  // dies holding both, removing neither
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(std::filesystem::exists(dir / (stem + ".sock")));

  std::atomic<int> shown{0};
  InstanceClaim next = ClaimInstance(dir.path(), kAlice, [&] { ++shown; });
  EXPECT_EQ(next.state, InstanceClaimState::kFirst);
  EXPECT_TRUE(AskOtherCopyToShow(dir.path(), kAlice));
  EXPECT_EQ(shown.load(), 1);
}

TEST(SingleInstanceTest, AFolderTooLongForASocketAddressStillServes) {
  TempDir dir;
  const std::string deep = dir / std::string(120, 'd');
  ASSERT_TRUE(std::filesystem::create_directory(deep));
  std::atomic<int> shown{0};
  InstanceClaim first = ClaimInstance(deep, kAlice, [&] { ++shown; });
  ASSERT_EQ(first.state, InstanceClaimState::kFirst);
  EXPECT_EQ(ClaimInstance(deep, kAlice, nullptr).state, InstanceClaimState::kOtherRuns);
  EXPECT_TRUE(AskOtherCopyToShow(deep, kAlice));
  EXPECT_EQ(shown.load(), 1);
}

TEST(SingleInstanceTest, AMissingFolderFails) {
  TempDir dir;
  EXPECT_EQ(ClaimInstance(dir / "missing", kAlice, nullptr).state, InstanceClaimState::kFailed);
  EXPECT_EQ(ClaimInstance("", kAlice, nullptr).state, InstanceClaimState::kFailed);
}

TEST(SingleInstanceTest, LockFileIsTheUsersAlone) {
  TempDir dir;
  const mode_t old_mask = ::umask(0);
  InstanceClaim first = ClaimInstance(dir.path(), kAlice, nullptr);
  ::umask(old_mask);
  ASSERT_EQ(first.state, InstanceClaimState::kFirst);
  struct stat st {};
  ASSERT_EQ(::stat(first.lock->lock_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(RuntimeDirectoryTest, TakesXdgRuntimeDirWhenAbsolute) {
  TempDir tmp;
  EXPECT_EQ(RuntimeDirectory("/run/user/1000", 1000, tmp.path()), "/run/user/1000");
}

TEST(RuntimeDirectoryTest, FallsBackToAPrivateFolderUnderTmp) {
  TempDir tmp;
  const uid_t uid = ::getuid();
  const std::string expected = tmp / ("orv-" + std::to_string(uid));
  for (const std::string xdg : {"", "relative/dir"}) {
    EXPECT_EQ(RuntimeDirectory(xdg, uid, tmp.path()), expected);
    struct stat st {};
    ASSERT_EQ(::lstat(expected.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  ::chmod(expected.c_str(), 0755);  // opened up by someone: narrowed again
  EXPECT_EQ(RuntimeDirectory("", uid, tmp.path()), expected);
  struct stat st {};
  ASSERT_EQ(::lstat(expected.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(RuntimeDirectoryTest, RefusesALinkOrAnotherUsersFolder) {
  TempDir tmp;
  const uid_t uid = ::getuid();
  ASSERT_EQ(::symlink(tmp.path().c_str(), (tmp / ("orv-" + std::to_string(uid))).c_str()), 0);
  EXPECT_EQ(RuntimeDirectory("", uid, tmp.path()), "");
  ASSERT_EQ(::mkdir((tmp / ("orv-" + std::to_string(uid + 1))).c_str(), 0700), 0);
  EXPECT_EQ(RuntimeDirectory("", uid + 1, tmp.path()), "");  // ours, not uid+1's
}

}  // namespace
}  // namespace orv
