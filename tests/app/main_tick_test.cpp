// The main window's one-second tick over scripted peer states: the status
// images, contacts following the addresses of the peer table, the DHT
// countdown, the selection, presence and automatic away.
#include <gtest/gtest.h>

#include "app/main_window/endpoint_peer_directory.hpp"
#include "store/contacts.hpp"
#include "main_window_fixture.hpp"

namespace orv {
namespace {

using test::Id;
using test::MainWindowFixture;
using test::Peer;

constexpr uint32_t kIp1 = 0x01020304;  // 1.2.3.4
constexpr uint32_t kIp2 = 0x05060708;  // 5.6.7.8
constexpr uint64_t kMinute = 60000;

TEST(MainTick, ImagesFollowAuthorizationAndTheSession) {
  struct Case {
    bool authorized;
    bool known, connected, away;
    int image;
  } cases[] = {
      {true, true, true, false, kImageOnline},
      {true, true, false, false, kImageNotConnected},
      {true, false, false, false, kImageNotConnected},  // not in the peer table
      {true, true, true, true, kImageAway},
      {true, true, false, true, kImageNotConnected},     // away but no session
      {false, true, true, false, kImageNotAuthorized},   // connected, still not authorized
      {false, true, true, true, kImageNotAuthorized},
      {false, false, false, false, kImageNotAuthorized},
  };
  MainWindowFixture f;
  uint32_t seed = 0x100;
  for (const Case& c : cases) {
    const PeerRef p = Peer(seed += 0x100, kIp1, 31265);
    f.AddStoredContact(p, "name", "original", c.authorized);
    if (c.known) f.peers.Script(p, c.connected, c.away);
  }
  f.controller.MainTick();
  ASSERT_EQ(f.controller.rows().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(f.controller.rows()[i].image, cases[i].image) << i;
  EXPECT_EQ(f.events.rows, f.controller.rows());
  EXPECT_EQ(f.peers.store_lock_held, 0);
}

TEST(MainTick, RowsCarryTheTextsTheCommandsReadBack) {
  MainWindowFixture f;
  const PeerRef named = Peer(0x10, kIp1, 31265);
  const PeerRef unnamed = Peer(0xABCDEF00, kIp2, 7);
  f.AddStoredContact(named, "Bob", "Robert", true);
  f.AddStoredContact(unnamed, std::nullopt, "Carol", false);
  f.controller.MainTick();
  const auto& rows = f.controller.rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "Bob");
  EXPECT_EQ(rows[0].ip_text, "1.2.3.4");
  EXPECT_EQ(rows[0].port_text, "31265");
  EXPECT_EQ(rows[0].id_text, "00000010 00000011 00000012 00000013 00000014 00000015 00000016 00000017");
  EXPECT_EQ(rows[1].name, "Carol");  // no name: the original name
  EXPECT_EQ(rows[1].id_text, "ABCDEF00 ABCDEF01 ABCDEF02 ABCDEF03 ABCDEF04 ABCDEF05 ABCDEF06 ABCDEF07");
  // The row's texts give back the contact's PeerRef.
  const std::optional<PeerRef> back = RowPeer(rows[1]);
  ASSERT_TRUE(back);
  EXPECT_EQ(Id(back->user_id), Id(unnamed.user_id));
  EXPECT_EQ(back->ipv4, kIp2);
  EXPECT_EQ(back->port, 7);
}

TEST(MainTick, ContactsTakeTheAddressThePeerTableHolds) {
  MainWindowFixture f;
  const PeerRef moved = Peer(0x10, kIp1, 100);
  const PeerRef unknown = Peer(0x20, kIp1, 200);
  const PeerRef zero = Peer(0x30, kIp1, 300);
  f.AddStoredContact(moved, "a", "a", true);
  f.AddStoredContact(unknown, "b", "b", true);
  f.AddStoredContact(zero, "c", "c", true);
  f.peers.Script(Peer(0x10, kIp2, 101), true, false);
  f.peers.Script(Peer(0x30, 0, 0), false, false);  // a record made by a send without address
  f.controller.MainTick();

  const std::vector<ContactRecord> stored = ListContacts(f.store);
  EXPECT_EQ(stored[0].peer.ipv4, kIp2);
  EXPECT_EQ(stored[0].peer.port, 101);
  EXPECT_EQ(f.controller.rows()[0].ip_text, "5.6.7.8");
  EXPECT_EQ(f.controller.rows()[0].port_text, "101");
  EXPECT_EQ(stored[1].peer.ipv4, kIp1);  // the table does not know it
  EXPECT_EQ(stored[1].peer.port, 200);
  EXPECT_EQ(stored[2].peer.ipv4, kIp1);  // an address of 0 is no address
  EXPECT_EQ(stored[2].peer.port, 300);
  // The peer table was read without the store lock (the table lock comes first).
  EXPECT_EQ(f.peers.store_lock_held, 0);

  // The peer moves again while connected: the next tick follows.
  f.peers.Script(Peer(0x10, kIp1, 102), true, false);
  f.controller.MainTick();
  EXPECT_EQ(ListContacts(f.store)[0].peer.port, 102);
  EXPECT_EQ(f.controller.rows()[0].port_text, "102");
}

TEST(MainTick, ContactsArePingedOrLocatedAtThe21stTickThenEvery31st) {
  MainWindowFixture f;
  f.AddStoredContact(Peer(0x10, kIp1, 100), "a", "a", true);
  f.AddStoredContact(Peer(0x20, kIp1, 200), "b", "b", false);
  f.peers.Script(Peer(0x20, kIp2, 201), false, false);
  std::vector<int> ping_ticks;
  for (int tick = 1; tick <= 83; ++tick) {
    const size_t before = f.locator.pinged.size();
    f.controller.MainTick();
    if (f.locator.pinged.size() == before) continue;
    ping_ticks.push_back(tick);
    ASSERT_EQ(f.locator.pinged.size(), before + 2);
    // Every contact, in list order, with the address it has just taken.
    EXPECT_EQ(Id(f.locator.pinged[before].user_id), Id(Peer(0x10).user_id));
    EXPECT_EQ(Id(f.locator.pinged[before + 1].user_id), Id(Peer(0x20).user_id));
    EXPECT_EQ(f.locator.pinged[before + 1].ipv4, kIp2);
    EXPECT_EQ(f.locator.pinged[before + 1].port, 201);
  }
  EXPECT_EQ(ping_ticks, (std::vector<int>{21, 52, 83}));
}

TEST(MainTick, SurplusRowsGoAndTheSelectionFollowsItsContact) {
  MainWindowFixture f;
  const PeerRef a = Peer(0x10, kIp1, 1), b = Peer(0x20, kIp1, 2), c = Peer(0x30, kIp1, 3);
  f.AddStoredContact(a, "a", "a", true);
  f.AddStoredContact(b, "b", "b", true);
  f.AddStoredContact(c, "c", "c", true);
  f.controller.MainTick();
  EXPECT_EQ(f.events.row_changes, 1);
  f.controller.MainTick();
  EXPECT_EQ(f.events.row_changes, 1) << "an unchanged list is not shown again";

  f.controller.SelectRow(2);  // "c"
  EXPECT_EQ(f.controller.selected_row(), 2u);
  RemoveContact(f.store, a.user_id);
  f.controller.MainTick();
  ASSERT_EQ(f.controller.rows().size(), 2u);
  EXPECT_EQ(f.events.rows.size(), 2u);
  EXPECT_EQ(f.controller.selected_row(), 1u);
  EXPECT_EQ(f.events.selections, (std::vector<size_t>{1}));

  // A user found by name is located and, being a contact, selected.
  f.controller.UserFound(b.user_id);
  EXPECT_EQ(f.locator.located, (std::vector<std::vector<uint32_t>>{Id(b.user_id)}));
  EXPECT_EQ(f.events.selections.back(), 0u);
  // One that is not a contact is only located.
  f.controller.UserFound(a.user_id);
  EXPECT_EQ(f.locator.located.size(), 2u);
  EXPECT_EQ(f.controller.selected_row(), 0u);

  f.controller.SelectRow(std::nullopt);
  EXPECT_FALSE(f.controller.selected_row());
}

TEST(MainTick, AutomaticAwayAfterIdleMinutesUnlessInVoice) {
  MainWindowFixture f;
  f.settings.AwayTimeout = 15;
  f.idle.idle_ms = 15 * kMinute - 1;
  f.controller.MainTick();
  EXPECT_EQ(f.controller.presence(), Presence::kOnline);
  EXPECT_TRUE(f.events.titles.empty());

  // A call in voice keeps the user online, however long idle.
  f.idle.idle_ms = 15 * kMinute;
  f.conversations.in_voice = true;
  f.controller.MainTick();
  EXPECT_EQ(f.controller.presence(), Presence::kOnline);
  EXPECT_TRUE(f.peers.away_flags.empty());

  f.conversations.in_voice = false;
  f.controller.MainTick();
  EXPECT_EQ(f.controller.presence(), Presence::kAwayAutomatic);
  EXPECT_EQ(f.controller.title(), "ORV Telephone - away");
  EXPECT_EQ(f.events.titles, (std::vector<std::string>{"ORV Telephone - away"}));
  EXPECT_EQ(f.peers.away_flags, (std::vector<bool>{true}));
  EXPECT_TRUE(f.events.marks.empty()) << "the radio marks stay";

  f.idle.idle_ms = 40 * kMinute;
  f.controller.MainTick();
  EXPECT_EQ(f.peers.away_flags.size(), 1u);

  // The first tick after input: online again.
  f.idle.idle_ms = 500;
  f.controller.MainTick();
  EXPECT_EQ(f.controller.presence(), Presence::kOnline);
  EXPECT_EQ(f.events.titles.back(), "ORV Telephone - online");
  EXPECT_EQ(f.peers.away_flags, (std::vector<bool>{true, false}));
}

TEST(MainTick, AwayTimeoutZeroNeverChangesThePresence) {
  for (int32_t timeout : {0, -5}) {
    MainWindowFixture f;
    f.settings.AwayTimeout = timeout;
    f.idle.idle_ms = 1000 * kMinute;
    f.controller.MainTick();
    EXPECT_EQ(f.controller.presence(), Presence::kOnline);
    EXPECT_TRUE(f.events.titles.empty());
    EXPECT_EQ(f.conversations.voice_questions, 0);
  }
}

TEST(MainTick, AwayChosenFromTheMenuStaysThroughInput) {
  MainWindowFixture f;
  f.controller.CommandAway();
  EXPECT_EQ(f.controller.presence(), Presence::kAwayChosen);
  EXPECT_EQ(f.events.titles, (std::vector<std::string>{"ORV Telephone - away"}));
  EXPECT_EQ(f.events.marks, (std::vector<Presence>{Presence::kAwayChosen}));
  EXPECT_EQ(f.peers.away_flags, (std::vector<bool>{true}));

  for (uint64_t idle : {uint64_t{0}, 100 * kMinute, uint64_t{0}}) {
    f.idle.idle_ms = idle;
    f.controller.MainTick();
    EXPECT_EQ(f.controller.presence(), Presence::kAwayChosen);
  }
  EXPECT_EQ(f.peers.away_flags.size(), 1u);

  f.controller.CommandOnline();
  EXPECT_EQ(f.controller.presence(), Presence::kOnline);
  EXPECT_EQ(f.events.titles.back(), "ORV Telephone - online");
  EXPECT_EQ(f.events.marks.back(), Presence::kOnline);
  EXPECT_EQ(f.peers.away_flags.back(), false);

  // From automatic away the menu's "&Away" makes it the person's choice.
  f.idle.idle_ms = 20 * kMinute;
  f.controller.MainTick();
  EXPECT_EQ(f.controller.presence(), Presence::kAwayAutomatic);
  f.controller.CommandAway();
  f.idle.idle_ms = 0;
  f.controller.MainTick();
  EXPECT_EQ(f.controller.presence(), Presence::kAwayChosen);
}

// The directory over a real endpoint: what the tick reads of the peer table.
class QuietHost final : public NetworkHost {
 public:
  void LogEvent(std::string_view, std::string_view) override {}
  bool LogFileOpen() override { return false; }
  void TracePacket(PacketDirection, uint32_t, uint16_t, const uint32_t*, uint32_t, int32_t) override {}
  void TraceData(PacketDirection, const uint32_t*) override {}
  void TraceAddressUpdate(std::string_view) override {}
  void ShowMessage(std::string_view, std::string_view) override {}
  bool GetPassword(PasswordBytes&) override { return false; }
  void CopyKey(KeyRecord&) override {}
  void UserFound(const uint32_t*) override {}
};

TEST(MainTick, EndpointDirectoryReadsThePeerTable) {
  QuietHost host;
  NetworkEndpoint endpoint(host);
  EndpointPeerDirectory directory(endpoint);
  const PeerRef bob = Peer(0x10, kIp1, 31265);
  {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    auto record = NewPeerRecord(bob);
    record->away = true;
    const std::u16string name = u"Bob \u00e9";
    std::copy(name.begin(), name.end(), record->name.begin());
    record->name[name.size()] = 0;
    record->name_length = static_cast<uint32_t>(2 * name.size());
    endpoint.peers.push_back(record);
  }
  const std::optional<PeerLook> look = directory.LookUpPeer(bob.user_id);
  ASSERT_TRUE(look);
  EXPECT_EQ(look->ref.ipv4, kIp1);
  EXPECT_EQ(look->ref.port, 31265);
  EXPECT_FALSE(look->connected);
  EXPECT_TRUE(look->away);
  EXPECT_EQ(directory.PeerName(bob.user_id), "Bob \xc3\xa9");
  EXPECT_EQ(directory.PeerPresence(bob.user_id), 0);  // no session
  EXPECT_FALSE(directory.LookUpPeer(Peer(0x20).user_id));
  EXPECT_EQ(directory.PeerName(Peer(0x20).user_id), "<unknown>");
  directory.SetAway(true);
  EXPECT_TRUE(endpoint.away.load());
  directory.SetAway(false);
  EXPECT_FALSE(endpoint.away.load());
}

}  // namespace
}  // namespace orv
