#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "crypto/byte_order.hpp"
#include "identity/secret_file.hpp"
#include "identity/signed_file.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Alice;
using test::Bob;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

TEST(SignedFile, SignVerifyTamperAndOtherKey) {
  TempDir dir;
  const std::string path = dir.File("likes.xml");
  WriteFileBytes(path, Text("<likes><user id=\"7\" auth=\"1\"/></likes>"));
  const auto& a = Alice();
  ASSERT_TRUE(SignFile(path, a.record, a.pw(), a.password.size()));
  EXPECT_EQ(ReadFileBytes(SignaturePath(path)).size(), kSignatureBytes);
  EXPECT_TRUE(VerifyFileSignature(path, a.record.certificate));
  EXPECT_FALSE(VerifyFileSignature(path, Bob().record.certificate));

  auto bytes = ReadFileBytes(path);
  bytes[10] ^= 1;
  WriteFileBytes(path, bytes);
  EXPECT_FALSE(VerifyFileSignature(path, a.record.certificate));
  bytes[10] ^= 1;
  WriteFileBytes(path, bytes);
  EXPECT_TRUE(VerifyFileSignature(path, a.record.certificate));

  // A wrong password writes nothing: the earlier signature stays.
  const auto sig = ReadFileBytes(SignaturePath(path));
  EXPECT_FALSE(SignFile(path, a.record, reinterpret_cast<const uint8_t*>("wrong"), 5));
  EXPECT_EQ(ReadFileBytes(SignaturePath(path)), sig);
  // Missing or short signature files do not verify.
  WriteFileBytes(SignaturePath(path), std::vector<uint8_t>(sig.begin(), sig.begin() + 100));
  EXPECT_FALSE(VerifyFileSignature(path, a.record.certificate));
  EXPECT_FALSE(VerifyFileSignature(dir.File("none.xml"), a.record.certificate));
}

// A file beyond 64 MB (sparse: nothing of it is read) is neither signed nor
// checked.
TEST(SignedFile, FileBeyondTheBoundIsNeitherSignedNorChecked) {
  TempDir dir;
  const std::string path = dir.File("likes.xml");
  WriteFileBytes(path, Text("<likes/>"));
  const auto& a = Alice();
  ASSERT_TRUE(SignFile(path, a.record, a.pw(), a.password.size()));
  const auto sig = ReadFileBytes(SignaturePath(path));
  ASSERT_EQ(::truncate(path.c_str(), (64 << 20) + 1), 0);
  EXPECT_FALSE(SignFile(path, a.record, a.pw(), a.password.size()));
  EXPECT_EQ(ReadFileBytes(SignaturePath(path)), sig);
  EXPECT_FALSE(VerifyFileSignature(path, a.record.certificate));
}

class RecordLogs : public ::testing::Test {
 protected:
  bool Open(RecordLog& log, std::vector<std::u16string>* seen = nullptr) {
    const auto& a = Alice();
    return log.Open(path_, a.record, a.pw(), a.password.size(), [seen](const std::u16string& t) {
      if (seen) seen->push_back(t);
    });
  }
  TempDir dir_;
  std::string path_ = dir_.File("chat.log");
};

TEST_F(RecordLogs, RecordSizesAreWholeBlocks) {
  {
    RecordLog log;
    ASSERT_TRUE(Open(log));
    EXPECT_EQ(ReadFileBytes(path_).size(), 32u);
    ASSERT_TRUE(log.Append(u"0123456789"));  // L = 20: 24 bytes
    EXPECT_EQ(ReadFileBytes(path_).size(), 32u + 24);
    ASSERT_TRUE(log.Append(u"ab"));  // L = 4: one block
    EXPECT_EQ(ReadFileBytes(path_).size(), 32u + 32);
    EXPECT_EQ(log.block_index(), 4u);
  }
  RecordLog again;
  std::vector<std::u16string> seen;
  ASSERT_TRUE(Open(again, &seen));
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"0123456789", u"ab"}));
  ASSERT_TRUE(again.Append(u"third"));
  again.Close();
  seen.clear();
  RecordLog third;
  ASSERT_TRUE(Open(third, &seen));
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"0123456789", u"ab", u"third"}));
}

TEST_F(RecordLogs, AppendingAfterAnUnreadableRecordOverwritesNothing) {
  {
    RecordLog log;
    ASSERT_TRUE(Open(log));
    ASSERT_TRUE(log.Append(u"first"));
  }
  // Data behind the records that this key cannot read (another program's,
  // a torn write): reading stops there, and it must survive.
  auto bytes = ReadFileBytes(path_);
  const size_t stored = bytes.size();
  const std::vector<uint8_t> tail(4003, 0x5A);  // not even a whole number of blocks
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  WriteFileBytes(path_, bytes);
  std::vector<std::u16string> seen;
  RecordLog log;
  ASSERT_TRUE(Open(log, &seen));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0], u"first");
  ASSERT_TRUE(log.Append(u"later"));
  log.Close();
  const auto after = ReadFileBytes(path_);
  ASSERT_GE(after.size(), bytes.size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), after.begin()));  // nothing stored was overwritten
  EXPECT_GT(after.size(), stored + tail.size());
}

TEST_F(RecordLogs, WithoutPasswordNothingIsShownOrExtended) {
  {
    RecordLog log;
    ASSERT_TRUE(Open(log));
    ASSERT_TRUE(log.Append(u"kept"));
  }
  const auto before = ReadFileBytes(path_);
  RecordLog log;
  std::vector<std::u16string> seen;
  EXPECT_FALSE(log.Open(path_, Alice().record, nullptr, 0, [&](const std::u16string& t) { seen.push_back(t); }));
  EXPECT_FALSE(log.Append(u"no"));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(ReadFileBytes(path_), before);
}

TEST_F(RecordLogs, OverlongRecordIsRefused) {
  RecordLog log;
  ASSERT_TRUE(Open(log));
  EXPECT_TRUE(log.Append(std::u16string(1999, u'x')));
  EXPECT_FALSE(log.Append(std::u16string(2000, u'x')));
}

TEST(EncryptedXml, LongDocumentReadsBackWhole) {
  TempDir dir;
  const std::string path = dir.File("downloads.xml");
  pugi::xml_document doc;
  auto root = doc.append_child("downloads");
  for (int i = 0; i < 300; ++i) {  // far more than one writer chunk
    auto item = root.append_child("file");
    item.append_attribute("name") = ("file number " + std::to_string(i) + ".bin").c_str();
    item.append_attribute("size") = i * 1000;
  }
  const auto& a = Alice();
  ASSERT_TRUE(SaveEncryptedXml(path, doc, a.record, a.pw(), a.password.size()));
  const auto bytes = ReadFileBytes(path);
  EXPECT_EQ((bytes.size() - 32) % 8, 0u);

  pugi::xml_document back;
  ASSERT_TRUE(LoadEncryptedXml(path, back, a.record, a.pw(), a.password.size()));
  int count = 0;
  for (auto item : back.child("downloads").children("file")) {
    EXPECT_EQ(item.attribute("size").as_int(), count * 1000);
    ++count;
  }
  EXPECT_EQ(count, 300);

  pugi::xml_document wrong;
  EXPECT_FALSE(LoadEncryptedXml(path, wrong, a.record, reinterpret_cast<const uint8_t*>("nope"), 4));
  EXPECT_FALSE(LoadEncryptedXml(path, wrong, Bob().record, Bob().pw(), Bob().password.size()));
}

TEST(EncryptedXml, SingleChunkIsStoredAsOnePaddedWrite) {
  TempDir dir;
  const std::string path = dir.File("small.xml");
  pugi::xml_document doc;
  doc.append_child("downloads").append_attribute("n") = 1;
  const auto& a = Alice();
  ASSERT_TRUE(SaveEncryptedXml(path, doc, a.record, a.pw(), a.password.size()));
  auto bytes = ReadFileBytes(path);
  // Decrypt by hand: the salt gives the key, the blocks the UTF-16 text.
  DataFileKey key;
  ASSERT_EQ(DeriveDataFileKey(key, bytes.data(), a.record, a.pw(), a.password.size()), 1);
  std::vector<uint8_t> body(bytes.begin() + 32, bytes.end());
  DataBlocksDecrypt(key, body.data(), 0, body.size() / 8);
  std::u16string text;
  for (size_t i = 0; i + 1 < body.size(); i += 2) text += static_cast<char16_t>(body[i] | (body[i + 1] << 8));
  const std::u16string expected = u"<?xml version=\"1.0\"?>\n<downloads n=\"1\" />\n";
  ASSERT_GE(text.size(), expected.size());
  EXPECT_EQ(text.substr(0, expected.size()), expected);
  EXPECT_LT(text.size() - expected.size(), 4u);  // at most 6 zero bytes of padding
  for (size_t i = expected.size(); i < text.size(); ++i) EXPECT_EQ(text[i], 0);
}

TEST(EncryptedXml, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("d.xml");
  WriteFileBytes(path, Text("old content"));
  pugi::xml_document doc;
  doc.append_child("x");
  EXPECT_FALSE(SaveEncryptedXml(path, doc, Alice().record, reinterpret_cast<const uint8_t*>("bad"), 3));
  EXPECT_EQ(ReadFileBytes(path), Text("old content"));
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST(EncryptedXml, DamagedFilesAreRefusedAndKept) {
  test::TempDir dir;
  const std::string path = dir.File("downloads.xml");
  const auto& a = test::Alice();
  std::vector<uint8_t> garbage(1003);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
  const std::vector<std::vector<uint8_t>> files = {{}, std::vector<uint8_t>(10, 1), std::vector<uint8_t>(32, 2),
                                                   garbage};
  for (const auto& bytes : files) {
    test::WriteFileBytes(path, bytes);
    pugi::xml_document doc;
    EXPECT_FALSE(LoadEncryptedXml(path, doc, a.record, a.pw(), a.password.size())) << bytes.size();
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
  }
  pugi::xml_document doc;
  EXPECT_FALSE(LoadEncryptedXml(dir.File("missing.xml"), doc, a.record, a.pw(), a.password.size()));
}

}  // namespace
}  // namespace orv
