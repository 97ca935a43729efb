#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "identity/secret_file.hpp"
#include "store/downloads.hpp"
#include "store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::At;
using test::Peer;
using test::ReadWholeFile;

class Downloads : public ::testing::Test, protected test::StoreFixture {
 protected:
  bool Save(ContactStore& s, const test::TestIdentity& who = test::Alice()) {
    return static_cast<bool>(SaveDownloads(s, path, who.record, who.pw(), who.password.size()));
  }
  bool Load(ContactStore& s, const test::TestIdentity& who = test::Alice()) {
    return LoadDownloads(s, path, who.record, who.pw(), who.password.size());
  }
  // Writes a plaintext document encrypted the way the downloads file is.
  void WriteDocument(const std::string& text) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str()));
    const auto& a = test::Alice();
    ASSERT_TRUE(SaveEncryptedXml(path, doc, a.record, a.pw(), a.password.size()));
  }
  test::TempDir dir;
  std::string path = dir / "downloads.xml";
};

TEST_F(Downloads, FinishedTransfersGoToTheHeadLoadedOnesToTheTail) {
  AddDownload(store, Peer(1, 1, 1), "/a", "A", At(2010, 1, 1, 0, 0, 0));
  AddDownload(store, Peer(2, 2, 2), "/b", "B", At(2011, 1, 1, 0, 0, 0));
  AddDownload(store, Peer(3, 3, 3), "/c", std::nullopt, 0);
  const auto list = ListDownloads(store);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].path, "/c");
  EXPECT_EQ(list[0].time, now);
  EXPECT_FALSE(list[0].sender_name);
  EXPECT_EQ(list[1].path, "/a");
  EXPECT_EQ(list[2].path, "/b");
  RemoveDownload(store, 7);  // past the end: nothing
  RemoveDownload(store, 1);
  RemoveDownload(store, 0);
  ASSERT_EQ(ListDownloads(store).size(), 1u);
  EXPECT_EQ(ListDownloads(store)[0].path, "/b");
  RemoveAllDownloads(store);
  RemoveAllDownloads(store);
  EXPECT_TRUE(ListDownloads(store).empty());
}

TEST_F(Downloads, SavedFileLoadsBackInTheSameOrderAndOnlyWithTheSameKey) {
  AddDownload(store, Peer(1, 0xC0A80102, 31265), "/home/u/Downloads/ä b.txt", "Zoë", At(2014, 4, 20, 13, 5, 9));
  AddDownload(store, Peer(2, 0x0A000002, 2), std::nullopt, "<B&>", At(2015, 5, 6, 7, 8, 9));
  AddDownload(store, Peer(3, 0x0A000003, 3), "/c", std::nullopt, 0);
  ASSERT_TRUE(Save(store));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadWholeFile(path).find("downloads"), std::string::npos);  // nothing in the clear

  test::StoreFixture other;
  ASSERT_TRUE(Load(other.store));
  const auto before = ListDownloads(store);
  const auto after = ListDownloads(other.store);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_TRUE(SameUserId(after[i].sender.user_id, before[i].sender.user_id));
    EXPECT_TRUE(SameAddress(after[i].sender, before[i].sender));
    EXPECT_EQ(after[i].path, before[i].path);
    EXPECT_EQ(after[i].sender_name, before[i].sender_name);
    EXPECT_EQ(after[i].time, before[i].time);
  }
  // Another key cannot read it: the list starts empty.
  test::StoreFixture bob;
  EXPECT_FALSE(Load(bob.store, test::Bob()));
  EXPECT_TRUE(ListDownloads(bob.store).empty());
}

TEST_F(Downloads, DocumentFieldsAndTheirRules) {
  WriteDocument(
      "<downloads>"
      "<file time=\"14/04/20 13:05:09\" user=\"Zoë\" name=\"/x\" id=\"1 2 3 4 5 6 7 8\" port=\"5\" ip=\"1.2.3.4\"/>"
      "<file ip=\"1.2.3\" port=\"99999\" id=\"A\" time=\"14/04/31 00:00:00\"/>"  // bad address, port and time
      "<other name=\"/y\"/>"
      "</downloads>");
  now = At(2020, 1, 1, 0, 0, 0);
  ASSERT_TRUE(Load(store));
  const auto list = ListDownloads(store);
  ASSERT_EQ(list.size(), 2u);
  // The record without a readable time went to the head with the current time.
  EXPECT_EQ(list[0].time, now);
  EXPECT_EQ(list[0].sender.ipv4, 0u);
  EXPECT_EQ(list[0].sender.port, 0);
  EXPECT_EQ(list[0].sender.user_id[0], 0xAu);
  EXPECT_FALSE(list[0].path);
  EXPECT_EQ(list[1].path, "/x");
  EXPECT_EQ(list[1].sender_name, "Zoë");
  EXPECT_EQ(list[1].sender.ipv4, 0x01020304u);
  EXPECT_EQ(list[1].sender.port, 5);
  EXPECT_EQ(list[1].sender.user_id[7], 8u);
  EXPECT_EQ(list[1].time, At(2014, 4, 20, 13, 5, 9));
}

TEST_F(Downloads, WithoutKeyOrPasswordTheFileIsLeftAsItWas) {
  test::WriteWholeFile(path, "whatever");
  KeyRecord none;
  AddDownload(store, Peer(1, 1, 1), "/a", "A", 0);
  EXPECT_FALSE(SaveDownloads(store, path, none, nullptr, 0));
  const auto& a = test::Alice();
  EXPECT_FALSE(SaveDownloads(store, path, a.record, a.pw(), 0));
  EXPECT_FALSE(LoadDownloads(store, path, none, nullptr, 0));
  EXPECT_EQ(ReadWholeFile(path), "whatever");
}

TEST_F(Downloads, UnreadableFilesAreKeptAsideNotOverwritten) {
  // Written under another key; a body that decrypts to no document; a
  // short salt; a document with another root.
  AddDownload(store, Peer(1, 1, 1), "/bob", "Bob", 0);
  ASSERT_TRUE(Save(store, test::Bob()));
  const std::string bobs = ReadWholeFile(path);
  const std::string files[] = {bobs, bobs.substr(0, 32) + std::string(64, 'x'), "short"};
  for (const std::string& text : files) {
    test::WriteWholeFile(path, text);
    test::StoreFixture f;
    EXPECT_FALSE(Load(f.store));
    AddDownload(f.store, Peer(2, 2, 2), "/mine", "Me", 0);
    ASSERT_TRUE(Save(f.store));
    EXPECT_EQ(ReadWholeFile(path + ".bad"), text);
    ASSERT_EQ(std::remove((path + ".bad").c_str()), 0);
    test::StoreFixture g;
    ASSERT_TRUE(Load(g.store));
    EXPECT_EQ(ListDownloads(g.store).size(), 1u);
  }
  WriteDocument("<files><file name=\"/z\"/></files>");
  const std::string other_root = ReadWholeFile(path);
  test::StoreFixture f;
  EXPECT_FALSE(Load(f.store));
  ASSERT_TRUE(Save(f.store));
  EXPECT_EQ(ReadWholeFile(path + ".bad"), other_root);
  // A missing file loads nothing and is simply written.
  test::StoreFixture g;
  EXPECT_FALSE(LoadDownloads(g.store, dir / "none.xml", test::Alice().record, test::Alice().pw(),
                             test::Alice().password.size()));
}

// A file far beyond any real record (sparse: nothing of it is read) is
// refused at once with the reason, and kept aside by the next save.
TEST_F(Downloads, OversizedFileIsRefusedUnreadAndKeptAside) {
  test::WriteWholeFile(path, "");
  ASSERT_EQ(::truncate(path.c_str(), off_t{1} << 30), 0);
  EXPECT_FALSE(Load(store));
  ASSERT_EQ(log_lines.size(), 1u);
  EXPECT_EQ(log_lines[0], "Main: Can't read " + path +
                              ": larger than 64 MB (1073741824 bytes); it is kept aside at the next save");
  AddDownload(store, Peer(1, 1, 1), "/a", "A", 0);
  ASSERT_TRUE(Save(store));
  struct stat st {};
  ASSERT_EQ(::stat((path + ".bad").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, off_t{1} << 30);
}

}  // namespace
}  // namespace orv
