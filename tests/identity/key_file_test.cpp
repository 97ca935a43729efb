#include <gtest/gtest.h>

#include <cstring>

#include "crypto/byte_order.hpp"
#include "identity/key_file.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::vector<uint32_t> Id(const KeyRecord& r) {
  return {r.certificate.user_id, r.certificate.user_id + kUserIdWords};
}

TEST(KeyFile, WrittenFileLoadsBackWithItsPassword) {
  TempDir dir;
  const std::string path = dir.File("orv.key");
  ASSERT_EQ(WriteKeyFile(path, Alice().record), KeyFileWrite::kWritten);
  const auto bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), kKeyFileBytes);
  EXPECT_EQ(LoadLe32(bytes.data()), 2016u);
  EXPECT_EQ(LoadLe32(bytes.data() + 2020), 512u);
  EXPECT_EQ(LoadLe32(bytes.data() + 2540), 32u);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

  KeyRecord loaded;
  EXPECT_EQ(LoadKeyFile(path, loaded), KeyFileLoad::kLoaded);
  EXPECT_TRUE(loaded.loaded);
  EXPECT_EQ(Id(loaded), Id(Alice().record));
  EXPECT_EQ(CheckPassword(loaded, Alice().pw(), Alice().password.size()), 1);
}

TEST(KeyFile, MalformedFilesLeaveTheEarlierKey) {
  TempDir dir;
  const std::string path = dir.File("orv.key");
  ASSERT_EQ(WriteKeyFile(path, Alice().record), KeyFileWrite::kWritten);
  const auto good = ReadFileBytes(path);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  auto with_length = [&](size_t at, uint32_t value) {
    auto b = good;
    StoreLe32(b.data() + at, value);
    return b;
  };
  const Case cases[] = {
      {"certificate length 2015", with_length(0, 2015)},
      {"private length 511", with_length(2020, 511)},
      {"salt length 31", with_length(2540, 31)},
      {"truncated salt", std::vector<uint8_t>(good.begin(), good.end() - 1)},
      {"empty", {}},
      {"garbage", std::vector<uint8_t>(3000, 0xAB)},
  };
  for (const auto& c : cases) {
    WriteFileBytes(path, c.bytes);
    KeyRecord record = Bob().record;
    EXPECT_EQ(LoadKeyFile(path, record), KeyFileLoad::kWrongFormat) << c.name;
    EXPECT_EQ(Id(record), Id(Bob().record)) << c.name;
    EXPECT_EQ(ReadFileBytes(path), c.bytes) << c.name;  // the file stays as it was
  }
  KeyRecord record = Bob().record;
  EXPECT_EQ(LoadKeyFile(dir.File("missing.key"), record), KeyFileLoad::kCannotOpen);
  EXPECT_EQ(LoadKeyFile("", record), KeyFileLoad::kCannotOpen);
  EXPECT_EQ(Id(record), Id(Bob().record));
  EXPECT_EQ(KeyFileLoadMessage(KeyFileLoad::kCannotOpen, "/x/orv.key"),
            "Can't open key file:\n/x/orv.key\nDefine correct key file in settings menu");
}

TEST(KeyFile, ExtraBytesAreIgnoredAndABadCertificateStillLoads) {
  TempDir dir;
  const std::string path = dir.File("orv.key");
  ASSERT_EQ(WriteKeyFile(path, Alice().record), KeyFileWrite::kWritten);
  auto bytes = ReadFileBytes(path);
  bytes.resize(bytes.size() + 100, 0x77);
  WriteFileBytes(path, bytes);
  KeyRecord record;
  EXPECT_EQ(LoadKeyFile(path, record), KeyFileLoad::kLoaded);

  bytes[4] = 0x01;  // info length 0x01BF = 447, big-endian
  bytes[5] = 0xBF;
  WriteFileBytes(path, bytes);
  EXPECT_EQ(LoadKeyFile(path, record), KeyFileLoad::kBadCertificate);
  EXPECT_TRUE(record.loaded);
  EXPECT_EQ(KeyFileLoadMessage(KeyFileLoad::kBadCertificate, path), "Certificate doesn't look OK");
}

TEST(KeyFile, ChangingTheUserInfoKeepsTheUserId) {
  KeyRecord record = Alice().record;
  const std::string info = test::Utf16Le(u"Alice at home");
  SetCertificateInfo(record.certificate, reinterpret_cast<const uint8_t*>(info.data()), info.size());
  EXPECT_EQ(CheckCertificate(record.certificate), 1);
  EXPECT_EQ(Id(record), Id(Alice().record));
}

TEST(KeyFile, UnwritablePlaceIsReported) {
  TempDir dir;
  EXPECT_EQ(WriteKeyFile(dir.File("no/such/dir/orv.key"), Alice().record), KeyFileWrite::kCannotOpen);
  EXPECT_EQ(KeyFileWriteMessage(KeyFileWrite::kShortWrite, "k"), "Can't write key to file k");
}

TEST(UserIdText, EightGroupsWordZeroFirst) {
  const uint32_t id[8] = {0x1, 0xABCDEF01, 2, 3, 4, 5, 6, 0xFFFFFFFF};
  EXPECT_EQ(UserIdText(id), "00000001 ABCDEF01 00000002 00000003 00000004 00000005 00000006 FFFFFFFF");
}

}  // namespace
}  // namespace orv
