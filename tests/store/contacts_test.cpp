#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "identity/signed_file.hpp"
#include "store/contacts.hpp"
#include "store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Peer;
using test::ReadWholeFile;
using test::WriteWholeFile;

constexpr char kIdText[] = "00000001 00000002 00000003 00000004 00000005 00000006 00000007 00000008";

class Contacts : public ::testing::Test, protected test::StoreFixture {
 protected:
  test::TempDir dir;
  std::string path = dir / "likes.xml";
};

TEST_F(Contacts, FileFormatIsExact) {
  AddContact(store, Peer(1, 0xC0A80102, 31265), "Zoë");
  AddContact(store, Peer(0x10, 0x0A000001, 5), std::nullopt);
  RenameContact(store, Peer(1, 0, 0).user_id, "Friend");
  SetContactAuthorized(store, Peer(1, 0, 0).user_id, true);
  ASSERT_TRUE(SaveContacts(store, path));
  EXPECT_EQ(ReadWholeFile(path),
            std::string("<?xml version=\"1.0\"?>\n<likes>\n\t<node ip=\"192.168.1.2\" port=\"31265\" id=\"") +
                kIdText +
                "\" name=\"Friend\" name_original=\"Zoë\" trust=\"true\" />\n"
                "\t<node ip=\"10.0.0.1\" port=\"5\" id=\"00000010 00000011 00000012 00000013 00000014 00000015 "
                "00000016 00000017\" trust=\"false\" />\n</likes>\n");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(Contacts, WrittenFileLoadsBackUnchanged) {
  AddContact(store, Peer(1, 0xC0A80102, 31265), "A & <B> \"quoted\"");
  AddContact(store, Peer(2, 0x7F000001, 65535), "second");
  SetContactAuthorized(store, Peer(2, 0, 0).user_id, true);
  ASSERT_TRUE(SaveContacts(store, path));
  const auto before = ListContacts(store);
  test::StoreFixture other;
  ASSERT_TRUE(LoadContacts(other.store, path));
  const auto after = ListContacts(other.store);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_TRUE(SameUserId(after[i].peer.user_id, before[i].peer.user_id));
    EXPECT_TRUE(SameAddress(after[i].peer, before[i].peer));
    EXPECT_EQ(after[i].name, before[i].name);
    EXPECT_EQ(after[i].original_name, before[i].original_name);
    EXPECT_EQ(after[i].authorized, before[i].authorized);
  }
  // Saving what was loaded gives the same bytes.
  const std::string first = ReadWholeFile(path);
  ASSERT_TRUE(SaveContacts(other.store, path));
  EXPECT_EQ(ReadWholeFile(path), first);
}

TEST_F(Contacts, TrustValuesFollowTheBooleanRule) {
  const std::pair<const char*, bool> cases[] = {
      {"trust=\"true\"", true},  {"trust=\"True\"", true},  {"trust=\"1\"", true},     {"trust=\"yes\"", true},
      {"trust=\"Y\"", true},     {"trust=\"t\"", true},     {"trust=\"false\"", false}, {"trust=\"0\"", false},
      {"trust=\"no\"", false},   {"trust=\"\"", false},     {"", false},                {"trust=\" true\"", false},
  };
  for (const auto& [attribute, expected] : cases) {
    WriteWholeFile(path, std::string("<likes><node id=\"") + kIdText + "\" " + attribute + "/></likes>");
    test::StoreFixture f;
    ASSERT_TRUE(LoadContacts(f.store, path));
    EXPECT_EQ(IsAuthorizedContact(f.store, Peer(1, 0, 0).user_id), expected) << attribute;
  }
}

TEST_F(Contacts, AttributesAreReadByNameAndDuplicatesAreSkipped) {
  WriteWholeFile(path, std::string("<?xml version=\"1.0\"?><likes>"
                                   "<node trust=\"1\" extra=\"x\" name=\"First\" port=\"70\" ip=\"1.2.3.4\" id=\"") +
                           kIdText +
                           "\"/>"
                           "<node id=\"" + kIdText + "\" name=\"Second\" trust=\"0\"/>"
                           "<other id=\"9\"/>"
                           "<node id=\"A\" ip=\"1.2.3\" port=\"x\"/>"
                           "</likes>");
  ASSERT_TRUE(LoadContacts(store, path));
  const auto contacts = ListContacts(store);
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_EQ(contacts[0].name, "First");
  EXPECT_FALSE(contacts[0].original_name);
  EXPECT_TRUE(contacts[0].authorized);
  EXPECT_EQ(contacts[0].peer.ipv4, 0x01020304u);
  EXPECT_EQ(contacts[0].peer.port, 70);
  EXPECT_EQ(contacts[1].peer.user_id[0], 0xAu);  // words not read stay 0
  EXPECT_EQ(contacts[1].peer.user_id[1], 0u);
  EXPECT_EQ(contacts[1].peer.ipv4, 0u);
  EXPECT_EQ(contacts[1].peer.port, 0);
  // Loading the file again adds nothing: every UserId is present.
  ASSERT_TRUE(LoadContacts(store, path));
  EXPECT_EQ(ListContacts(store).size(), 2u);
}

TEST_F(Contacts, MalformedFilesLoadNothingAndAreNeverOverwritten) {
  const char* files[] = {
      "<likes><node id=\"1\"",                    // cut short
      "<users><node id=\"1\"/></users>",          // another root
      "\xff\xfe garbage \x01\x02",                // not XML at all
  };
  for (const char* text : files) {
    WriteWholeFile(path, text);
    test::StoreFixture f;
    EXPECT_FALSE(LoadContacts(f.store, path)) << text;
    EXPECT_TRUE(ListContacts(f.store).empty());
    // The next save keeps what could not be read under another name.
    AddContact(f.store, Peer(3, 1, 1), "new");
    ASSERT_TRUE(SaveContacts(f.store, path));
    EXPECT_EQ(ReadWholeFile(path + ".bad"), text);
    ASSERT_EQ(std::remove((path + ".bad").c_str()), 0);
  }
  // A missing file or a root without children.
  test::StoreFixture f;
  EXPECT_FALSE(LoadContacts(f.store, dir / "none.xml"));
  WriteWholeFile(path, "<likes/>");
  EXPECT_TRUE(LoadContacts(f.store, path));
}

TEST_F(Contacts, CommandsEditTheList) {
  EXPECT_EQ(AddContact(store, Peer(1, 1, 1), "One"), AddContactResult::kAdded);
  EXPECT_EQ(AddContact(store, Peer(1, 2, 2), "Again"), AddContactResult::kPresent);
  EXPECT_EQ(AddContact(store, Peer(2, 2, 2), "Two"), AddContactResult::kAdded);
  EXPECT_TRUE(IsContact(store, Peer(1, 0, 0).user_id));
  EXPECT_FALSE(IsAuthorizedContact(store, Peer(1, 0, 0).user_id));
  EXPECT_TRUE(SetContactAuthorized(store, Peer(1, 0, 0).user_id, true));
  EXPECT_TRUE(IsAuthorizedContact(store, Peer(1, 0, 0).user_id));
  EXPECT_TRUE(RenameContact(store, Peer(1, 0, 0).user_id, "Uno"));
  const auto one = FindContact(store, Peer(1, 0, 0).user_id);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->name, "Uno");
  EXPECT_EQ(one->original_name, "One");
  EXPECT_TRUE(RemoveContact(store, Peer(1, 0, 0).user_id));
  EXPECT_FALSE(IsContact(store, Peer(1, 0, 0).user_id));
  EXPECT_FALSE(RemoveContact(store, Peer(1, 0, 0).user_id));
  EXPECT_FALSE(SetContactAuthorized(store, Peer(9, 0, 0).user_id, true));
  EXPECT_FALSE(RenameContact(store, Peer(9, 0, 0).user_id, "x"));
  EXPECT_EQ(ListContacts(store).size(), 1u);
}

TEST_F(Contacts, UnwritablePathReportsFailureAndLeavesNoTemporaryFile) {
  AddContact(store, Peer(1, 1, 1), "One");
  EXPECT_FALSE(SaveContacts(store, dir / "missing/likes.xml"));
  ASSERT_TRUE(SaveContacts(store, path));
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST_F(Contacts, SignatureCheckAtStartup) {
  const auto& alice = test::Alice();
  AddContact(store, Peer(1, 1, 1), "One");
  AddContact(store, Peer(2, 2, 2), "Two");
  SetContactAuthorized(store, Peer(1, 0, 0).user_id, true);
  ASSERT_TRUE(SaveContacts(store, path));
  ASSERT_TRUE(SignFile(path, alice.record, alice.pw(), alice.password.size()));

  {  // Signed as it stands: the authorizations hold.
    test::StoreFixture f;
    const ContactsStartup r = LoadContactsAtStartup(f.store, path, alice.record.certificate);
    EXPECT_TRUE(r.loaded);
    EXPECT_TRUE(r.signature_valid);
    EXPECT_FALSE(r.warning);
    EXPECT_TRUE(IsAuthorizedContact(f.store, Peer(1, 0, 0).user_id));
  }
  {  // Another user's certificate: the warning, no authorizations.
    test::StoreFixture f;
    const ContactsStartup r = LoadContactsAtStartup(f.store, path, test::Bob().record.certificate);
    EXPECT_EQ(r.warning, "Wrong user list signature. All authorizations will be ignored");
  }
  // Tampered: "Two" authorized by hand.
  std::string text = ReadWholeFile(path);
  const size_t at = text.rfind("trust=\"false\"");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 13, "trust=\"true\" ");
  WriteWholeFile(path, text);
  {
    test::StoreFixture f;
    const ContactsStartup r = LoadContactsAtStartup(f.store, path, alice.record.certificate);
    EXPECT_TRUE(r.loaded);
    EXPECT_FALSE(r.signature_valid);
    EXPECT_EQ(r.warning, std::string(kWrongSignatureWarning));
    const auto contacts = ListContacts(f.store);
    ASSERT_EQ(contacts.size(), 2u);
    for (const auto& c : contacts) EXPECT_FALSE(c.authorized);
    EXPECT_EQ(ReadWholeFile(path), text);  // the file stays as it is
  }
  {  // A missing signature file gives the same.
    ASSERT_EQ(std::remove(SignaturePath(path).c_str()), 0);
    test::StoreFixture f;
    EXPECT_EQ(LoadContactsAtStartup(f.store, path, alice.record.certificate).warning,
              std::string(kWrongSignatureWarning));
  }
  {  // A file without "likes" triggers no check.
    WriteWholeFile(path, "<users/>");
    test::StoreFixture f;
    const ContactsStartup r = LoadContactsAtStartup(f.store, path, alice.record.certificate);
    EXPECT_FALSE(r.loaded);
    EXPECT_FALSE(r.warning);
  }
}

// Whether any log line holds every one of the texts.
bool Logged(const std::vector<std::string>& lines, std::initializer_list<std::string> texts) {
  for (const std::string& line : lines) {
    bool all = true;
    for (const std::string& text : texts) all = all && line.find(text) != std::string::npos;
    if (all) return true;
  }
  return false;
}

// A broken or oversized file: logged with the reason at load, never
// signed as it is, and kept as ".bad" by the next save. The oversized one
// is sparse, so nothing of it is read.
TEST_F(Contacts, UnreadableFilesAreLoggedWithTheReasonAndKeptAsBad) {
  const struct {
    const char* name;
    off_t size;  // > 0: a sparse file of that size instead of `text`
    const char* text;
    const char* reason;
  } cases[] = {
      {"cut short", 0, "<likes><node id=\"1\"", "at byte"},
      {"another root", 0, "<users/>", "no \"likes\" element"},
      {"beyond 64 MB", (64 << 20) + 1, "", "larger than 64 MB (67108865 bytes)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.size > 0) {
      WriteWholeFile(path, "");
      ASSERT_EQ(::truncate(path.c_str(), c.size), 0);
    } else {
      WriteWholeFile(path, c.text);
    }
    test::StoreFixture f;
    EXPECT_FALSE(LoadContactsAtStartup(f.store, path, test::Alice().record.certificate).loaded);
    EXPECT_TRUE(Logged(f.log_lines, {"Can't read " + path, c.reason}));
    EXPECT_FALSE(ContactsFileMayBeSigned(f.store));
    EXPECT_TRUE(ContactsFileRejected(f.store));
    ASSERT_TRUE(SaveContacts(f.store, path));
    EXPECT_TRUE(Logged(f.log_lines, {"kept as " + path + ".bad"}));
    EXPECT_TRUE(ContactsFileMayBeSigned(f.store));
    struct stat st {};
    ASSERT_EQ(::stat((path + ".bad").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, c.size > 0 ? c.size : static_cast<off_t>(std::string(c.text).size()));
    ASSERT_EQ(std::remove((path + ".bad").c_str()), 0);
  }
}

// A failed save says why, leaves the old file, and the next save (of the
// whole list) tries again. Failures come from the store's file writer (a
// full disk) and from a folder that is a regular file.
TEST_F(Contacts, FailedSaveSaysWhyAndTheNextSaveTriesAgain) {
  AddContact(store, Peer(1, 1, 1), "One");
  ASSERT_TRUE(SaveContacts(store, path));
  const std::string before = ReadWholeFile(path);
  store.write_file = [](const std::string&, std::string_view) { return ENOSPC; };
  RenameContact(store, Peer(1, 0, 0).user_id, "Uno");
  const SaveOutcome full = SaveContacts(store, path);
  EXPECT_FALSE(full);
  EXPECT_EQ(full.reason, "No space left on device");
  EXPECT_EQ(ReadWholeFile(path), before);

  store.write_file = ReplaceStoreFileContent;
  const std::string not_a_folder = dir / "file";
  WriteWholeFile(not_a_folder, "x");
  EXPECT_EQ(SaveContacts(store, not_a_folder + "/likes.xml").reason, "Not a directory");

  ASSERT_TRUE(SaveContacts(store, path));
  EXPECT_NE(ReadWholeFile(path).find("name=\"Uno\""), std::string::npos);
}

}  // namespace
}  // namespace orv
