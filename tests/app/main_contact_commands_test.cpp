// The contact commands against a real contact store in a temporary
// directory: the question, the file written, the signature made on its own
// thread under the contacts save lock, and the user information.
#include <gtest/gtest.h>

#include <cerrno>

#include "app/main_window/app_identity_parts.hpp"
#include "identity/signed_file.hpp"
#include "main_window_fixture.hpp"
#include "store/contacts.hpp"
#include "support/log_capture.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Id;
using test::MainWindowFixture;
using test::Peer;
using test::ReadWholeFile;

constexpr uint32_t kIp = 0x0A000102;  // 10.0.1.2

const PeerRef kBob = Peer(0xB0B00000, kIp, 31265);

std::string Likes(MainWindowFixture& f) {
  f.saver.WaitForSigning();
  return ReadWholeFile(f.settings.Likes);
}

TEST(ContactCommands, AuthorizeAsksAndOnlyYesChangesTheFlag) {
  MainWindowFixture f;
  f.AddStoredContact(kBob, "Bob", "Robert", false);
  const std::string question =
      "Do you want to authorize following user:\nName: Bob\nOriginal name: Robert\n"
      "ID: B0B00000 B0B00001 B0B00002 B0B00003 B0B00004 B0B00005 B0B00006 B0B00007\nIP: 10.0.1.2\nPort: 31265";

  f.ui.AnswerYesNo(false);
  EXPECT_EQ(f.controller.Authorize(kBob), CommandResult::kDeclined);
  ASSERT_EQ(f.ui.messages().size(), 1u);
  EXPECT_EQ(f.ui.messages()[0], (ScriptedUiPort::Message{"Question", question, MessageIcon::kQuestion, true}));
  EXPECT_FALSE(IsAuthorizedContact(f.store, kBob.user_id));
  f.saver.WaitForSigning();
  EXPECT_TRUE(f.signer.signed_paths().empty()) << "No saves nothing";

  f.ui.AnswerYesNo(true);
  EXPECT_EQ(f.controller.Authorize(kBob), CommandResult::kDone);
  EXPECT_TRUE(IsAuthorizedContact(f.store, kBob.user_id));
  EXPECT_NE(Likes(f).find("trust=\"true\""), std::string::npos);
  EXPECT_EQ(f.signer.signed_paths(), (std::vector<std::string>{f.settings.Likes}));
  EXPECT_EQ(f.controller.rows().at(0).image, kImageNotConnected);  // shown at once

  // The control interface's command asks nothing.
  f.controller.Deauthorize(kBob);
  EXPECT_EQ(f.controller.AuthorizeConfirmed(kBob), CommandResult::kDone);
  EXPECT_TRUE(IsAuthorizedContact(f.store, kBob.user_id));
  EXPECT_EQ(f.ui.messages().size(), 2u);
}

TEST(ContactCommands, AuthorizingAStrangerDoesNothing) {
  MainWindowFixture f;
  EXPECT_EQ(f.controller.Authorize(kBob), CommandResult::kNotContact);
  EXPECT_EQ(f.controller.AuthorizeConfirmed(kBob), CommandResult::kNotContact);
  EXPECT_EQ(f.controller.Deauthorize(kBob), CommandResult::kNotContact);
  EXPECT_EQ(f.controller.RemoveFromList(kBob), CommandResult::kNotContact);
  EXPECT_EQ(f.controller.Rename(kBob), CommandResult::kNotContact);
  EXPECT_TRUE(f.ui.messages().empty());
  EXPECT_TRUE(f.prompts.renames_asked.empty());
  f.saver.WaitForSigning();
  EXPECT_TRUE(f.signer.signed_paths().empty());
}

TEST(ContactCommands, DeauthorizeAsksNothing) {
  MainWindowFixture f;
  f.AddStoredContact(kBob, "Bob", "Bob", true);
  EXPECT_EQ(f.controller.Deauthorize(kBob), CommandResult::kDone);
  EXPECT_TRUE(f.ui.messages().empty());
  EXPECT_FALSE(IsAuthorizedContact(f.store, kBob.user_id));
  EXPECT_NE(Likes(f).find("trust=\"false\""), std::string::npos);
  EXPECT_EQ(f.signer.signed_paths().size(), 1u);
}

TEST(ContactCommands, RemoveFromListSavesTheRest) {
  MainWindowFixture f;
  const PeerRef carol = Peer(0xCA000000, kIp, 5);
  f.AddStoredContact(kBob, "Bob", "Bob", true);
  f.AddStoredContact(carol, "Carol", "Carol", false);
  f.controller.MainTick();
  EXPECT_EQ(f.controller.RemoveFromList(kBob), CommandResult::kDone);
  EXPECT_FALSE(IsContact(f.store, kBob.user_id));
  const std::string file = Likes(f);
  EXPECT_EQ(file.find("B0B00000"), std::string::npos);
  EXPECT_NE(file.find("CA000000"), std::string::npos);
  ASSERT_EQ(f.controller.rows().size(), 1u);
  EXPECT_EQ(f.controller.rows()[0].name, "Carol");
}

TEST(ContactCommands, RenameSavesAndSignsWhateverTheAnswer) {
  MainWindowFixture f;
  f.AddStoredContact(kBob, "Bob", "Robert", false);
  // Cancel keeps the old name; the file is saved and signed all the same.
  EXPECT_EQ(f.controller.Rename(kBob), CommandResult::kDeclined);
  EXPECT_EQ(f.prompts.renames_asked.at(0), (std::pair<std::string, std::string>{"Robert", "Bob"}));
  EXPECT_EQ(FindContact(f.store, kBob.user_id)->name, "Bob");
  EXPECT_NE(Likes(f).find("name=\"Bob\""), std::string::npos);
  EXPECT_EQ(f.signer.signed_paths().size(), 1u);

  // OK with an empty text leaves an empty name (the row shows it empty).
  f.prompts.rename_answer = "";
  EXPECT_EQ(f.controller.Rename(kBob), CommandResult::kDone);
  EXPECT_EQ(FindContact(f.store, kBob.user_id)->name, "");
  EXPECT_EQ(f.controller.rows().at(0).name, "");
  f.saver.WaitForSigning();
  EXPECT_EQ(f.signer.signed_paths().size(), 2u);

  EXPECT_EQ(f.controller.RenameTo(kBob, "Bobby"), CommandResult::kDone);
  EXPECT_NE(Likes(f).find("name=\"Bobby\""), std::string::npos);
}

TEST(ContactCommands, AddContactTakesTheAnnouncedName) {
  MainWindowFixture f;
  f.peers.Script(kBob, true, false, "Bob announced");
  EXPECT_EQ(f.controller.AddContact(kBob), CommandResult::kDone);
  std::optional<ContactRecord> c = FindContact(f.store, kBob.user_id);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->name, "Bob announced");
  EXPECT_EQ(c->original_name, "Bob announced");
  EXPECT_FALSE(c->authorized);
  EXPECT_EQ(c->peer.ipv4, kIp);

  // A present contact is only saved again.
  EXPECT_EQ(f.controller.AddContact(kBob), CommandResult::kDone);
  EXPECT_EQ(ListContacts(f.store).size(), 1u);
  Likes(f);
  EXPECT_EQ(f.signer.signed_paths().size(), 2u);

  // A peer the table does not know is kept as "<unknown>".
  const PeerRef carol = Peer(0xCA000000, kIp, 5);
  f.controller.AddContact(carol);
  EXPECT_EQ(FindContact(f.store, carol.user_id)->name, "<unknown>");
  // A peer known by address only is not a contact.
  PeerRef by_address;
  by_address.ipv4 = kIp;
  by_address.port = 6;
  EXPECT_EQ(f.controller.AddContact(by_address), CommandResult::kUnknown);
  EXPECT_EQ(ListContacts(f.store).size(), 2u);
}

TEST(ContactCommands, RequestConnectionSendsCodeZeroOnTheCallChannel) {
  MainWindowFixture f;
  EXPECT_EQ(f.controller.RunContactCommand(kBob, ContactCommand::kRequestConnection), CommandResult::kDone);
  ASSERT_EQ(f.sender.sent.size(), 1u);
  EXPECT_EQ(f.sender.sent[0].inner_type, 1u);
  EXPECT_EQ(f.sender.sent[0].data, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(Id(f.sender.sent[0].target.user_id), Id(kBob.user_id));
  EXPECT_EQ(f.sender.sent[0].target.ipv4, kIp);
}

TEST(ContactCommands, SendFileOffersTheChosenFile) {
  MainWindowFixture f;
  EXPECT_EQ(f.controller.SendFile(kBob), CommandResult::kDeclined);
  EXPECT_TRUE(f.transfers.started.empty());
  f.prompts.file_answer = "/home/alice/song.ogg";
  EXPECT_EQ(f.controller.RunContactCommand(kBob, ContactCommand::kSendFile), CommandResult::kDone);
  ASSERT_EQ(f.transfers.started.size(), 1u);
  EXPECT_EQ(Id(f.transfers.started[0].first.user_id), Id(kBob.user_id));
  EXPECT_EQ(f.transfers.started[0].second, "/home/alice/song.ogg");
}

// A file that cannot be sent says why instead of doing nothing.
TEST(ContactCommands, SendFileShowsWhyAFileCannotBeSent) {
  for (const char* why : {"File is empty", "Can't open file for transfer"}) {
    MainWindowFixture f;
    f.prompts.file_answer = "/home/alice/empty.txt";
    f.transfers.refusal = why;
    f.controller.SendFile(kBob);
    ASSERT_EQ(f.ui.messages().size(), 1u) << why;
    EXPECT_EQ(f.ui.messages()[0].title, "Error");
    EXPECT_EQ(f.ui.messages()[0].text, why);
  }
}

TEST(ContactCommands, MenuOffersDeauthorizeOnlyForAuthorizedContacts) {
  MainWindowFixture f;
  const PeerRef carol = Peer(0xCA000000, kIp, 5);
  f.AddStoredContact(kBob, "Bob", "Bob", true);
  f.AddStoredContact(carol, "Carol", "Carol", false);
  f.controller.MainTick();
  const auto bob_menu = f.controller.ContactMenu(0);
  ASSERT_TRUE(bob_menu);
  std::vector<std::string> texts;
  std::vector<uint32_t> ids;
  for (const ContactMenuItem& item : *bob_menu) {
    texts.push_back(item.text);
    ids.push_back(static_cast<uint32_t>(item.command));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"Deauthorize", "Remove from list", "Request Connection", "Rename",
                                             "Send file", "Info"}));
  EXPECT_EQ(ids, (std::vector<uint32_t>{1033, 1022, 1025, 1024, 1023, 1034}));
  EXPECT_EQ(f.controller.ContactMenu(1)->at(0).text, "Authorize");
  EXPECT_EQ(f.controller.ContactMenu(1)->at(0).command, ContactCommand::kAuthorize);
  EXPECT_EQ(f.controller.ContactMenuFor(Peer(0x77)).at(0).text, "Authorize");  // not a contact
  EXPECT_FALSE(f.controller.ContactMenu(2));
}

TEST(ContactCommands, UserIdTextsMustHoldEightWords) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"00000001 00000002 00000003 00000004 00000005 00000006 00000007 00000008", true},
      {"1 2 3 4 5 6 7 8", true},
      {"  abcdef01 2 3 4 5 6 7 FFFFFFFF  ", true},
      {"1 2 3 4 5 6 7", false},                  // seven words
      {"1 2 3 4 5 6 7 8 9", false},              // nine
      {"1 2 3 4 5 6 7 123456789", false},        // a word of nine digits
      {"1 2 3 4 5 6 7 8x", false},
      {"-1 2 3 4 5 6 7 8", false},
      {"", false},
  };
  for (const Case& c : cases) {
    uint32_t id[kUserIdWords] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(ParseUserIdText(c.text, id), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_TRUE(IsZeroUserId(id)) << c.text;
    }
  }
  uint32_t id[kUserIdWords];
  ASSERT_TRUE(ParseUserIdText("abcdef01 2 3 4 5 6 7 FFFFFFFF", id));
  EXPECT_EQ(id[0], 0xABCDEF01u);
  EXPECT_EQ(id[7], 0xFFFFFFFFu);
}

TEST(ContactCommands, InfoShowsTheContactOrWhatThePeerTableKnows) {
  MainWindowFixture f;
  f.AddStoredContact(kBob, "Bob", "Robert", true);
  f.peers.Script(kBob, true, true, "Bob's own name");
  f.controller.RunContactCommand(kBob, ContactCommand::kInfo);
  ASSERT_EQ(f.events.infos.size(), 1u);
  const UserInfoTexts bob = MakeUserInfoTexts(f.events.infos[0]);
  EXPECT_EQ(bob.name, "Bob");
  EXPECT_EQ(bob.original_name, "Robert");
  EXPECT_EQ(bob.id, "B0B00000 B0B00001 B0B00002 B0B00003 B0B00004 B0B00005 B0B00006 B0B00007");
  EXPECT_EQ(bob.address, "10.0.1.2 : 31265");
  EXPECT_EQ(bob.authorized, "YES");
  EXPECT_EQ(bob.status, "AWAY");

  const PeerRef stranger = Peer(0x51000000, kIp, 9);
  f.peers.Script(stranger, true, false, "Stranger");
  f.controller.ShowUserInfo(stranger);
  const UserInfoTexts s = MakeUserInfoTexts(f.events.infos.back());
  EXPECT_EQ(s.name, "Stranger");
  EXPECT_EQ(s.original_name, "Stranger");  // no original name: the name
  EXPECT_EQ(s.authorized, "NO");
  EXPECT_EQ(s.status, "ONLINE");
  EXPECT_EQ(MakeUserInfoTexts(f.controller.UserInfoFor(Peer(0x61))).status, "OFFLINE");

  const std::pair<int, const char*> statuses[] = {{0, "OFFLINE"}, {1, "ONLINE"}, {2, "AWAY"}, {3, "WRONG STATUS"},
                                                  {-1, "WRONG STATUS"}};
  for (const auto& [status, text] : statuses) EXPECT_EQ(UserStatusText(status), text);
  // Names are held to 223 UTF-16 units.
  EXPECT_EQ(LimitUserInfoName(std::string(300, 'x')).size(), 223u);
  EXPECT_EQ(LimitUserInfoName(std::string(222, 'x') + "\xF0\x9F\x98\x80").size(), 222u);
}

TEST(ContactCommands, MyInformationShowsTheOwnIdentity) {
  MainWindowFixture f;
  f.settings.RemotePort = 40000;
  f.controller.ShowMyInformation();  // no key loaded, no mapping
  UserInfoTexts none = MakeUserInfoTexts(f.events.infos.at(0));
  EXPECT_EQ(none.name, "<unknown>");
  EXPECT_EQ(none.address, "127.0.0.1 : 40000");
  EXPECT_EQ(none.authorized, "YES");
  EXPECT_EQ(none.status, "ONLINE");

  f.own.own.loaded = true;
  f.own.own.name = "Alice";
  CopyUserId(f.own.own.user_id, Peer(0xA1100000).user_id);
  f.own.own.external_ipv4 = 0xC0000205;  // 192.0.2.5
  const UserInfoTexts me = MakeUserInfoTexts(f.controller.MyInformation());
  EXPECT_EQ(me.name, "Alice");
  EXPECT_EQ(me.original_name, "Alice");
  EXPECT_EQ(me.id, "A1100000 A1100001 A1100002 A1100003 A1100004 A1100005 A1100006 A1100007");
  EXPECT_EQ(me.address, "192.0.2.5 : 40000");
}

// The signing thread waits for the contacts save lock, trying every 500 ms.
TEST(ContactCommands, SigningWaitsForTheSaveLock) {
  test::TempDir dir;
  ContactStore store;
  test::RecordingSigner signer;
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::chrono::milliseconds> waits;
  bool go_on = false;
  ContactsSaver saver(store, signer, [&](std::chrono::milliseconds pause) {
    std::unique_lock<std::mutex> g(m);
    waits.push_back(pause);
    cv.notify_all();
    if (waits.size() >= 2) cv.wait(g, [&] { return go_on; });
  });
  const std::string likes = dir / "likes.xml";
  {
    std::unique_lock<std::mutex> held(saver.save_lock());
    saver.SaveContactsAndSign(likes);
    std::unique_lock<std::mutex> g(m);
    cv.wait(g, [&] { return waits.size() >= 2; });
    EXPECT_TRUE(signer.signed_paths().empty());
  }
  {
    std::lock_guard<std::mutex> g(m);
    go_on = true;
  }
  cv.notify_all();
  saver.WaitForSigning();
  EXPECT_EQ(signer.signed_paths(), (std::vector<std::string>{likes}));
  for (auto pause : waits) EXPECT_EQ(pause, std::chrono::milliseconds(500));
  EXPECT_TRUE(std::filesystem::exists(likes));  // saved before the signing began
}

TEST(ContactCommands, ShutdownSigningWarnsWhenItFails) {
  MainWindowFixture f;
  f.store.contacts_file = ContactsFileState::kTrusted;  // it verified at start-up
  EXPECT_TRUE(f.controller.SignContactsAtShutdown());
  EXPECT_TRUE(f.ui.messages().empty());
  f.signer.result = false;
  EXPECT_FALSE(f.controller.SignContactsAtShutdown());
  ASSERT_EQ(f.ui.messages().size(), 1u);
  EXPECT_EQ(f.ui.messages()[0], (ScriptedUiPort::Message{"Warning", "Can't create signature for user list",
                                                         MessageIcon::kWarning, false}));
}

// The real signer: the user's key from the application context and the
// password from the password service. The signature written verifies, so
// the next start keeps the authorization.
TEST(ContactCommands, AuthorizationIsSignedWithTheUsersKey) {
  const test::TestIdentity& alice = test::Alice();
  MainWindowFixture f;
  std::unique_ptr<AppContext> ctx = AppContext::Create(f.ui);
  ASSERT_TRUE(ctx);
  ctx->key() = alice.record;
  PasswordService passwords(*ctx, f.ui, [] {});
  passwords.Cache(PasswordBytes(alice.password));
  AppContactsSigner signer(*ctx, passwords);
  ContactsSaver saver(f.store, signer);
  MainWindowController controller(MainWindowParts{f.settings, f.store, f.ui, f.events, f.prompts, f.peers, f.sender,
                                                  f.locator, f.conversations, f.transfers, f.idle, f.own, saver});
  f.AddStoredContact(kBob, "Bob", "Bob", false);
  f.ui.AnswerYesNo(true);
  ASSERT_EQ(controller.Authorize(kBob), CommandResult::kDone);
  saver.WaitForSigning();
  EXPECT_TRUE(VerifyFileSignature(f.settings.Likes, alice.record.certificate));

  ContactStore next;
  const ContactsStartup start = LoadContactsAtStartup(next, f.settings.Likes, alice.record.certificate);
  EXPECT_TRUE(start.signature_valid);
  EXPECT_TRUE(IsAuthorizedContact(next, kBob.user_id));

  // "&My information" reads the same key.
  AppOwnIdentity own(*ctx, [] { return 0u; });
  const OwnIdentity me = own.Own();
  EXPECT_TRUE(me.loaded);
  EXPECT_EQ(me.name, "Alice");
  EXPECT_EQ(Id(me.user_id), Id(alice.record.certificate.user_id));
  EXPECT_EQ(me.external_ipv4, 0x7F000001u);
}

// The contact commands of one run of a node with Alice's key: the real
// signer, with her password held.
struct SigningRun {
  explicit SigningRun(MainWindowFixture& f)
      : ctx(AppContext::Create(f.ui)),
        passwords(*ctx, f.ui, [] {}),
        signer(*ctx, passwords),
        saver(f.store, signer),
        controller(MainWindowParts{f.settings, f.store, f.ui, f.events, f.prompts, f.peers, f.sender, f.locator,
                                   f.conversations, f.transfers, f.idle, f.own, saver}) {
    ctx->key() = test::Alice().record;
    passwords.Cache(PasswordBytes(test::Alice().password));
  }
  std::unique_ptr<AppContext> ctx;
  PasswordService passwords;
  AppContactsSigner signer;
  ContactsSaver saver;
  MainWindowController controller;
};

// Bob authorized by hand in a signed file. The start warns and ignores the
// authorization; the exit writes the list anew without it before signing;
// the next start verifies the file, and Bob is still not authorized.
TEST(ContactCommands, TamperedFileIsNeverSignedAsItWasRead) {
  const Certificate& alice = test::Alice().record.certificate;
  MainWindowFixture first;
  {
    SigningRun run(first);
    first.AddStoredContact(kBob, "Bob", "Bob", false);
    ASSERT_EQ(run.controller.AddContact(kBob), CommandResult::kDone);
    run.saver.WaitForSigning();
  }
  std::string text = ReadWholeFile(first.settings.Likes);
  const size_t at = text.find("trust=\"false\"");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 13, "trust=\"true\" ");
  test::WriteWholeFile(first.settings.Likes, text);

  MainWindowFixture second;
  second.settings.Likes = first.settings.Likes;
  {
    SigningRun run(second);
    EXPECT_TRUE(LoadContactsAtStartup(second.store, second.settings.Likes, alice).warning);
    EXPECT_FALSE(IsAuthorizedContact(second.store, kBob.user_id));
    EXPECT_TRUE(run.controller.SignContactsAtShutdown());
  }
  EXPECT_EQ(ReadWholeFile(first.settings.Likes).find("trust=\"true\""), std::string::npos);

  ContactStore third;
  const ContactsStartup start = LoadContactsAtStartup(third, first.settings.Likes, alice);
  EXPECT_TRUE(start.signature_valid);
  EXPECT_FALSE(start.warning);
  ASSERT_TRUE(IsContact(third, kBob.user_id));
  EXPECT_FALSE(IsAuthorizedContact(third, kBob.user_id));
}

// A save that fails (here a read-only disk, through the store's file
// writer) is logged and shown with its reason, the command says so, the
// change holds for the run and nothing is signed; the next change saves
// the whole list and clears the status line.
TEST(ContactCommands, FailedSaveIsLoggedShownAndTriedAgain) {
  test::LogCapture log;
  MainWindowFixture f;
  f.AddStoredContact(kBob, "Bob", "Bob", false);
  f.store.write_file = [](const std::string&, std::string_view) { return EROFS; };
  EXPECT_EQ(f.controller.RenameTo(kBob, "Robert"), CommandResult::kNotSaved);
  EXPECT_EQ(f.controller.save_failure(), "Read-only file system");
  EXPECT_EQ(f.events.status_texts, (std::vector<std::string>{"Can't save the contact list: Read-only file system"}));
  EXPECT_EQ(log.Messages("Main"), (std::vector<std::string>{"Can't save the contact list to " + f.settings.Likes +
                                                           ": Read-only file system"}));
  EXPECT_EQ(FindContact(f.store, kBob.user_id)->name, "Robert");
  f.saver.WaitForSigning();
  EXPECT_TRUE(f.signer.signed_paths().empty());

  f.store.write_file = ReplaceStoreFileContent;
  EXPECT_EQ(f.controller.AuthorizeConfirmed(kBob), CommandResult::kDone);
  EXPECT_EQ(f.controller.save_failure(), "");
  EXPECT_EQ(f.events.status_texts.back(), "");
  const std::string saved = Likes(f);
  EXPECT_NE(saved.find("name=\"Robert\""), std::string::npos);
  EXPECT_NE(saved.find("trust=\"true\""), std::string::npos);
}

}  // namespace
}  // namespace orv
