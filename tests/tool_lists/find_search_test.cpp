// The "Find user" dialog's search: how the text is read, what is logged
// under "Find", what the engines are asked, and the result rows.
#include <gtest/gtest.h>

#include "app/tool_lists/find_search.hpp"
#include "app/tool_lists/find_text.hpp"
#include "app/tool_lists/name_match.hpp"
#include "identity/key_file.hpp"
#include "support/log_capture.hpp"
#include "tool_lists_fixture.hpp"

namespace orv {
namespace {

using test::NodeIn;
using test::PeerAt;
using Logs = std::vector<std::string>;
using Shown = std::vector<std::pair<std::string, std::string>>;  // name, "IP:Port"

constexpr uint32_t kHome = 0xC0A80105;  // 192.168.1.5

// Two routing-table nodes and four peers, two of them at one address.
class FindSearchTest : public test::ToolListsFixture {
 protected:
  FindSearchTest() {
    AddNode(known);
    AddNode(NodeIn(7, 2));
    AddPeer(PeerAt(0x100, kHome, 31265), u"Red");
    AddPeer(PeerAt(0x200, kHome, 31266), u"red fox");
    AddPeer(PeerAt(0x300, 0x0A000009, 5000), u"Redwood");
    AddPeer(PeerAt(0x400, 0x0A00000A, 5000), u"blue");
  }

  Shown Find(const std::string& text) {
    search.Find(text);
    return ShownRows();
  }
  Shown ShownRows() {
    Shown shown;
    for (const ToolListRow& row : search.Rows()) shown.emplace_back(row.name, row.ip_text + ":" + row.port_text);
    return shown;
  }

  static std::string Contiguous(const uint32_t* id) {
    std::string text = UserIdText(id);
    std::erase(text, ' ');
    return text;
  }

  const PeerRef known = NodeIn(5, 1);  // 10.0.5.1:40001
  test::LogCapture log;
  FindSearch search{sources};
};

TEST_F(FindSearchTest, TheTextIsReadAsUserIdAddressOrName) {
  const PeerRef unknown = NodeIn(9, 3);
  const std::string known_id = UserIdText(known.user_id);
  struct Case {
    std::string text;
    Logs logs;  // after the text itself
    Shown rows;
  } cases[] = {
      // A UserId the routing table knows: found at once, and searched as a
      // name as well.
      {known_id, {"User ID typed", "User found", "User name typed"}, {{"<unknown>", "10.0.5.1:40001"}}},
      {Contiguous(known.user_id), {"User ID typed", "User found", "User name typed"}, {{"<unknown>", "10.0.5.1:40001"}}},
      {UserIdText(unknown.user_id), {"User ID typed", "User name typed"}, {}},
      // Four dotted numbers: every peer at that address.
      {"192.168.1.5", {"User IP typed"}, {{"Red", "192.168.1.5:31265"}, {"red fox", "192.168.1.5:31266"}}},
      {" 10.0.5.1 ", {"User IP typed", "User found"}, {{"<unknown>", "10.0.5.1:40001"}}},
      {"10.0.0.8", {"User IP typed"}, {}},
      // Three dotted numbers, or a number above 255, are a name.
      {"192.168.1", {"User name typed"}, {}},
      {"192.168.1.300", {"User name typed"}, {}},
      // Names: the network layer matches "red fox" at once (its own rule
      // counts case); the list's rule does not.
      {"red",
       {"User name typed", "User found"},
       {{"Red", "192.168.1.5:31265"}, {"red fox", "192.168.1.5:31266"}, {"Redwood", "10.0.0.9:5000"}}},
      {"FOX", {"User name typed"}, {{"red fox", "192.168.1.5:31266"}}},
      {"green", {"User name typed"}, {}},
      {"",
       {"User name typed", "User found"},
       {{"Red", "192.168.1.5:31265"},
        {"red fox", "192.168.1.5:31266"},
        {"Redwood", "10.0.0.9:5000"},
        {"blue", "10.0.0.10:5000"}}},
  };
  for (const Case& c : cases) {
    const size_t logged = log.Messages("Find").size();
    EXPECT_EQ(Find(c.text), c.rows) << "\"" << c.text << "\"";
    Logs want = {c.text};
    want.insert(want.end(), c.logs.begin(), c.logs.end());
    const Logs all = log.Messages("Find");
    EXPECT_EQ(Logs(all.begin() + static_cast<std::ptrdiff_t>(logged), all.end()), want) << "\"" << c.text << "\"";
  }
}

TEST_F(FindSearchTest, ANewDialogListsNothingUntilItSearches) {
  EXPECT_FALSE(search.searched());
  EXPECT_TRUE(ShownRows().empty());
  EXPECT_TRUE(log.Messages("Find").empty());
}

TEST_F(FindSearchTest, AnUnknownUserIdIsListedOnceTheDhtLearnsItsNode) {
  const PeerRef later = NodeIn(9, 3);
  EXPECT_TRUE(Find(UserIdText(later.user_id)).empty());
  ASSERT_TRUE(search.id());
  AddNode(later);
  EXPECT_EQ(ShownRows(), (Shown{{"<unknown>", "10.0.9.3:40003"}}));
  // Once it is a peer too, its peer row comes first, named.
  AddPeer(later, u"Laura");
  EXPECT_EQ(ShownRows(), (Shown{{"Laura", "10.0.9.3:40003"}, {"Laura", "10.0.9.3:40003"}}));
}

// A search replaces what an earlier one kept: after a UserId or an address
// a name lists by name again.
TEST_F(FindSearchTest, EachSearchStartsFromItsOwnText) {
  EXPECT_EQ(Find(UserIdText(known.user_id)).size(), 1u);
  EXPECT_EQ(Find("blue"), (Shown{{"blue", "10.0.0.10:5000"}}));
  EXPECT_FALSE(search.id());
  EXPECT_EQ(Find("192.168.1.5").size(), 2u);
  EXPECT_EQ(Find("fox"), (Shown{{"red fox", "192.168.1.5:31266"}}));
  EXPECT_FALSE(search.ip());
}

TEST_F(FindSearchTest, NamesAreSearchedInTheDhtAndAddressesAreNot) {
  search.Find("10.0.5.1");
  EXPECT_TRUE(engine->SearchSlots().empty());
  search.Find("red fox");
  EXPECT_FALSE(engine->SearchSlots().empty());
}

TEST_F(FindSearchTest, PeerRowsShowAuthorizedContactsAndNoStatus) {
  AddContact(PeerAt(0x100, kHome, 31265), true);
  AddContact(PeerAt(0x200, kHome, 31266), false);
  search.Find("192.168.1.5");
  const std::vector<ToolListRow> rows = search.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].image, 0);
  EXPECT_EQ(rows[1].image, 2);
  EXPECT_EQ(rows[0].status, "");
  EXPECT_EQ(rows[0].id_text, UserIdText(PeerAt(0x100, 0, 0).user_id));
}

TEST_F(FindSearchTest, TheTextIsCutAtTheEditsLimit) {
  search.Find(std::string(300, 'x'));
  EXPECT_EQ(search.text().size(), kFindTextUnits);
  EXPECT_EQ(log.Messages("Find").front(), std::string(kFindTextUnits, 'x'));
}

TEST(FindText, UserIdsAndAddresses) {
  uint32_t id[kUserIdWords];
  EXPECT_TRUE(ReadFindUserId("0000000A 1 2 3 4 5 6 FFFFFFFF", id));
  EXPECT_EQ(id[0], 0xAu);
  EXPECT_EQ(id[7], 0xFFFFFFFFu);
  EXPECT_TRUE(ReadFindUserId("  0000000a000000010000000200000003000000040000000500000006ffffffff\n", id));
  EXPECT_EQ(id[7], 0xFFFFFFFFu);
  EXPECT_FALSE(ReadFindUserId("0000000A 1 2 3 4 5 6", id));  // seven words
  EXPECT_EQ(id[0], 0u);
  EXPECT_FALSE(ReadFindUserId("0000000A 1 2 3 4 5 6 7 and more", id));
  EXPECT_FALSE(ReadFindUserId("red fox", id));

  EXPECT_EQ(ReadFindIpv4("10.1.2.3"), 0x0A010203u);
  EXPECT_EQ(ReadFindIpv4("0.0.0.0"), 0u);
  EXPECT_FALSE(ReadFindIpv4("10.1.2"));
  EXPECT_FALSE(ReadFindIpv4("10.1.2.3.4"));
  EXPECT_FALSE(ReadFindIpv4("10.1.2.3:80"));
  EXPECT_FALSE(ReadFindIpv4("256.1.2.3"));
}

TEST(FindNameMatch, PrefixesAndTheFirstTwoWords) {
  struct Case {
    std::u16string text, name;
    bool match;
  } cases[] = {
      {u"red", u"Red", true},
      {u"red", u"red fox", true},
      {u"red", u"Redwood", true},
      {u"red", u"blue", false},
      {u"Redwood", u"red", true},        // the name begins the text
      {u"", u"anybody", true},           // an empty text matches every name
      {u"fox", u"red fox", true},        // a word of the text, a word of the name
      {u"big fox", u"red foxes", true},  // over the shorter word
      {u"big fo", u"red fox", true},
      {u"fox", u"big red fox", false},   // only the first two words count
      {u"tiny red", u"red", true},
      {u"wolf", u"red fox", false},
      {u"  fox", u"red fox", false},     // a word takes the blanks before it
      {u"red  fox", u"old fox", false},
      {u"red ", u"blue", true},          // a blank at the end: a word of length 0
      {u"\u00c9lan", u"\u00e9lan vital", true},
      {u"\u0416", u"\u0436\u0443\u043a", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindNameMatches(c.text, c.name), c.match)
        << Utf16ToUtf8(c.text) << " / " << Utf16ToUtf8(c.name);
}

}  // namespace
}  // namespace orv
