// The chat log: one encrypted record log per peer, named after its UserId,
// private to the user, written line by line and shown again when the
// conversation opens.
#include <sys/stat.h>

#include <filesystem>

#include "conversation_fixture.hpp"
#include "identity/key_file.hpp"
#include "net/net_fixture.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Ack;
using test::Code;
using test::Events;
using test::Text;

class IdentityKeys : public ChatLogKeys {
 public:
  bool ChatLogKey(KeyRecord& record, PasswordBytes& password) override {
    ++asked;
    if (refuse) return false;
    record = test::Alice().record;
    password.Assign(test::Alice().password);
    return true;
  }
  int asked = 0;
  bool refuse = false;
};

class ChatLogs : public test::ConversationTest {
 protected:
  void SetUp() override {
    log_keys = &keys;
    settings.save_chat_to_file = true;
    settings.log_folder = dir.path();
    Make();
  }
  std::string BobLog() const { return dir / (UserIdText(bob.user_id) + ".txt"); }

  test::TempDir dir;
  IdentityKeys keys;
};

TEST_F(ChatLogs, TheHistoryIsKeptPerPeerAndShownAgain) {
  const ConversationId id = OpenBob();
  EXPECT_EQ(ChatLogPath(dir.path(), bob.user_id), BobLog());
  Get(id).SendChatInput(u"mine");
  FromBob(Code(1));
  FromBob(Text(0, u"yours"));
  FromBob(Ack(0));
  conversations->Close(id);
  events.Take();
  events.lines.clear();

  struct stat st {};
  ASSERT_EQ(::stat(BobLog().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string stored = test::ReadWholeFile(BobLog());
  EXPECT_EQ(stored.find("mine"), std::string::npos);  // encrypted

  const ConversationId again = conversations->Open(bob);
  EXPECT_EQ(events.Take(), (Events{"2: opened", "2: log delivered 0 mine", "2: log incoming 0 yours"}));
  ASSERT_EQ(events.lines.size(), 2u);
  EXPECT_EQ(events.lines[0].line, "01/02/25 10:30 > mine\n");
  EXPECT_EQ(events.lines[1].line, "01/02/25 10:30 < yours\n");
  Get(again).SendChatInput(u"more");
  conversations->Close(again);
  conversations->Open(bob);
  size_t logged = 0;
  for (const std::string& e : events.Take()) logged += e.rfind("3: log ", 0) == 0;
  EXPECT_EQ(logged, 3u);
}

TEST_F(ChatLogs, WithoutAKeyNothingIsShownOrWritten) {
  keys.refuse = true;
  const ConversationId id = OpenBob();
  Get(id).SendChatInput(u"mine");
  EXPECT_EQ(keys.asked, 1);
  EXPECT_FALSE(std::filesystem::exists(BobLog()));
}

TEST_F(ChatLogs, AConversationOpenedByAddressLogsUnderThePeerItAdopts) {
  PeerRef by_address;
  by_address.ipv4 = bob.ipv4;
  by_address.port = bob.port;
  const ConversationId id = conversations->Open(by_address);
  Get(id).SendChatInput(u"hello?");
  EXPECT_EQ(keys.asked, 0);  // no identity, no log yet
  FromBob(Text(0, u"it's me"));
  EXPECT_EQ(keys.asked, 1);
  conversations->Close(id);
  EXPECT_EQ(std::filesystem::directory_iterator(dir.path())->path().filename().string(),
            UserIdText(bob.user_id) + ".txt");
  events.Take();
  conversations->Open(bob);
  EXPECT_EQ(events.Take(), (Events{"2: opened", "2: log delivered 0 hello?", "2: log incoming 0 it's me"}));
}

TEST(HostChatLogKeys, ComeFromTheKeyRecordAndThePassword) {
  test::FakeHost host(&test::Alice());
  HostChatLogKeys keys(host);
  KeyRecord record;
  PasswordBytes password;
  ASSERT_TRUE(keys.ChatLogKey(record, password));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(password.data()), password.size()), test::Alice().password);
  host.RefusePassword(true);
  EXPECT_FALSE(keys.ChatLogKey(record, password));
  test::FakeHost keyless(nullptr);
  HostChatLogKeys none(keyless);
  EXPECT_FALSE(none.ChatLogKey(record, password));
  EXPECT_EQ(keyless.PasswordRequests(), 0u);  // no key: the person is not asked
  WipeKeyRecord(record);
}

}  // namespace
}  // namespace orv
