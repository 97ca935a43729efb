#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "store/network_file.hpp"
#include "store_fixture.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::At;
using test::Peer;
using test::ReadWholeFile;
using test::WriteWholeFile;

// A DNS stand-in: a table of names, a count of queries, and a check that
// the store lock is free while it runs.
struct FakeDns {
  std::map<std::string, uint32_t> table;
  std::vector<std::string> asked;
  bool lock_was_free = true;
  ContactStore* store = nullptr;
  HostResolver Resolver() {
    return [this](const std::string& host) -> uint32_t {
      asked.push_back(host);
      if (store) {
        if (store->lock.try_lock())
          store->lock.unlock();
        else
          lock_was_free = false;
      }
      auto it = table.find(host);
      return it == table.end() ? 0 : it->second;
    };
  }
};

class NetworkFile : public ::testing::Test, protected test::StoreFixture {
 protected:
  NetworkFile() { dns.store = &store; }
  size_t Load(const std::string& file) {
    return LoadNetworkFile(store, [this](const PeerRef& p) { noted.push_back(p); }, file, dns.Resolver());
  }
  void Merge(const PeerRef& p, FileTime heard) {
    std::lock_guard guard(store.lock);
    MergeNode(store, NodeRecord{p, heard, std::nullopt});
  }
  test::TempDir dir;
  std::string path = dir / "user.xml";
  FakeDns dns;
  std::vector<PeerRef> noted;
};

TEST_F(NetworkFile, FileFormatIsExact) {
  Merge(Peer(1, 0xC0A80102, 31265), At(2014, 4, 20, 13, 5, 9));
  {
    std::lock_guard guard(store.lock);
    MergeNode(store, NodeRecord{Peer(0, 0x0A000001, 7), At(2001, 2, 3, 4, 5, 6), "boot.example"});
  }
  ASSERT_TRUE(SaveNetworkFile(store, path));
  EXPECT_EQ(ReadWholeFile(path),
            "<?xml version=\"1.0\"?>\n<users>\n"
            "\t<node ip=\"192.168.1.2\" port=\"31265\" id=\"00000001 00000002 00000003 00000004 00000005 00000006 "
            "00000007 00000008\" time=\"14/04/20 13:05:09\" />\n"
            "\t<node ip=\"10.0.0.1\" port=\"7\" id=\"00000000 00000000 00000000 00000000 00000000 00000000 00000000 "
            "00000000\" time=\"01/02/03 04:05:06\" url=\"boot.example\" />\n"
            "</users>\n");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(NetworkFile, WrittenFileLoadsBackWithEveryField) {
  Merge(Peer(1, 0xC0A80102, 31265), At(2014, 4, 20, 13, 5, 9));
  Merge(Peer(2, 0xFFFFFFFE, 65535), At(2099, 12, 31, 23, 59, 59));
  {
    std::lock_guard guard(store.lock);
    MergeNode(store, NodeRecord{Peer(0, 0x0A000001, 7), At(2001, 2, 3, 4, 5, 6), "boot.example"});
  }
  ASSERT_TRUE(SaveNetworkFile(store, path));
  const auto before = ListNodes(store);
  test::StoreFixture other;
  dns.store = &other.store;
  std::vector<PeerRef> seen;
  EXPECT_EQ(LoadNetworkFile(other.store, [&](const PeerRef& p) { seen.push_back(p); }, path, dns.Resolver()), 3u);
  const auto after = ListNodes(other.store);
  ASSERT_EQ(after.size(), 3u);
  ASSERT_EQ(seen.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(SameUserId(after[i].node.user_id, before[i].node.user_id));
    EXPECT_TRUE(SameAddress(after[i].node, before[i].node));
    EXPECT_EQ(after[i].last_heard, before[i].last_heard);
    EXPECT_EQ(after[i].host, before[i].host);
    EXPECT_TRUE(SameAddress(seen[i], before[i].node));
  }
  // The host did not resolve: its stored address was kept, and logged.
  EXPECT_EQ(dns.asked, std::vector<std::string>{"boot.example"});
  ASSERT_EQ(other.log_lines.size(), 1u);
  EXPECT_NE(other.log_lines[0].find("boot.example"), std::string::npos);
  ASSERT_TRUE(SaveNetworkFile(other.store, dir / "again.xml"));
  EXPECT_EQ(ReadWholeFile(dir / "again.xml"), ReadWholeFile(path));
}

TEST_F(NetworkFile, SavesTheFirst1000AndThenOnlyNodesOfTheLast30Days) {
  const FileTime old = now - 40 * kFileTimeTicksPerDay;
  // 1000 recent nodes, then 500 heard 40 days ago: the first 1000 are saved.
  for (uint32_t i = 0; i < 1500; ++i) Merge(Peer(i + 1, 0x0A000000 + i, 1), i < 1000 ? now : old);
  ASSERT_TRUE(SaveNetworkFile(store, path));
  test::StoreFixture a;
  dns.store = &a.store;
  EXPECT_EQ(LoadNetworkFile(a.store, {}, path, dns.Resolver()), 1000u);
  for (const NodeRecord& n : ListNodes(a.store)) EXPECT_EQ(n.last_heard, now);

  // The 500 old ones at the head: all 1500 are saved (they count towards
  // the first 1000).
  FreeContactStore(store);
  for (uint32_t i = 0; i < 1500; ++i) Merge(Peer(i + 1, 0x0A000000 + i, 1), i < 500 ? old : now);
  ASSERT_TRUE(SaveNetworkFile(store, path));
  test::StoreFixture b;
  dns.store = &b.store;
  EXPECT_EQ(LoadNetworkFile(b.store, {}, path, dns.Resolver()), 1500u);

  // A node heard exactly at the cut-off is kept; one tick before it is not.
  FreeContactStore(store);
  for (uint32_t i = 0; i < 1000; ++i) Merge(Peer(i + 1, 0x0A000000 + i, 1), now);
  Merge(Peer(5000, 0x0B000000, 1), now - kNodeKeepTime);
  Merge(Peer(5001, 0x0B000001, 1), now - kNodeKeepTime - 1);
  ASSERT_TRUE(SaveNetworkFile(store, path));
  test::StoreFixture c;
  dns.store = &c.store;
  EXPECT_EQ(LoadNetworkFile(c.store, {}, path, dns.Resolver()), 1001u);
}

TEST_F(NetworkFile, LoadingTwiceMergesNodesWithUserIdAndRepeatsThoseWithout) {
  WriteWholeFile(path,
                 "<users>"
                 "<node ip=\"10.0.0.1\" port=\"1\" id=\"1 2 3 4 5 6 7 8\" time=\"14/04/20 13:05:09\"/>"
                 "<node ip=\"10.0.0.2\" port=\"2\" id=\"0 0 0 0 0 0 0 0\" time=\"14/04/20 13:05:09\"/>"
                 "<node ip=\"10.0.0.3\" port=\"3\" time=\"14/04/20 13:05:09\"/>"
                 "</users>");
  EXPECT_EQ(Load(path), 3u);
  EXPECT_EQ(Load(path), 3u);
  EXPECT_EQ(ListNodes(store).size(), 5u);
  EXPECT_EQ(noted.size(), 6u);
}

TEST_F(NetworkFile, NodesWithoutAddressOrPortAreDroppedAndMissingTimesBecomeNow) {
  WriteWholeFile(path,
                 "<users>"
                 "<node ip=\"10.0.0.1\" port=\"0\" id=\"1\"/>"        // port 0
                 "<node ip=\"0.0.0.0\" port=\"5\" id=\"2\"/>"         // address 0
                 "<node ip=\"10.0.0.300\" port=\"5\" id=\"3\"/>"      // not an address
                 "<node ip=\"10.0.0.4\" port=\"70000\" id=\"4\"/>"    // not a port
                 "<node url=\"nowhere.example\" port=\"5\" id=\"5\"/>"  // does not resolve, no address
                 "<node url=\"\" port=\"5\" id=\"6\"/>"              // empty host name: not asked
                 "<node port=\"5\" id=\"7\" ip=\"10.0.0.7\" time=\"14/13/20 13:05:09\" extra=\"x\"/>"
                 "<node port=\"5\" id=\"8\" ip=\"10.0.0.8\"/>"
                 "<other port=\"5\" id=\"9\" ip=\"10.0.0.9\"/>"
                 "</users>");
  now = At(2020, 1, 2, 3, 4, 5);
  EXPECT_EQ(Load(path), 2u);
  const auto nodes = ListNodes(store);
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[0].node.user_id[0], 7u);
  EXPECT_EQ(nodes[1].node.user_id[0], 8u);
  for (const NodeRecord& n : nodes) EXPECT_EQ(n.last_heard, now);
  EXPECT_EQ(dns.asked, std::vector<std::string>{"nowhere.example"});
  ASSERT_TRUE(SaveNetworkFile(store, path));
  EXPECT_NE(ReadWholeFile(path).find("time=\"20/01/02 03:04:05\""), std::string::npos);
}

TEST_F(NetworkFile, BuiltInBootstrapHostsWhenThereIsNoUsableFile) {
  dns.table[BootstrapHostName(0)] = 0x0A000001;
  dns.table[BootstrapHostName(1)] = 0x0A000002;
  const std::string missing = dir / "none.xml";
  EXPECT_EQ(Load(missing), 2u);
  EXPECT_TRUE(dns.lock_was_free);
  auto nodes = ListNodes(store);
  ASSERT_EQ(nodes.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(nodes[i].host, BootstrapHostName(i));
    EXPECT_EQ(nodes[i].node.port, 31265);
    EXPECT_EQ(nodes[i].node.ipv4, 0x0A000001u + i);
    EXPECT_TRUE(IsZeroUserId(nodes[i].node.user_id));
    EXPECT_EQ(nodes[i].last_heard, now);
    EXPECT_TRUE(IsZeroUserId(noted[i].user_id));
    EXPECT_EQ(noted[i].ipv4, 0x0A000001u + i);
  }
  // After bootstrap the host answers with its UserId; the save keeps it all.
  now += kFileTimeTicksPerSecond;
  NoteNode(store, Peer(3, 0x0A000001, 31265));
  ASSERT_TRUE(SaveNetworkFile(store, missing));
  const std::string text = ReadWholeFile(missing);
  EXPECT_NE(text.find("<node ip=\"10.0.0.1\" port=\"31265\" id=\"00000003 00000004 00000005 00000006 00000007 "
                      "00000008 00000009 0000000A\" time=\"14/04/20 13:05:10\" url=\"" +
                      std::string(BootstrapHostName(0)) + "\" />"),
            std::string::npos)
      << text;
}

TEST_F(NetworkFile, UnresolvableBootstrapHostsLoadNothingAndSayWhy) {
  EXPECT_EQ(Load(dir / "none.xml"), 0u);
  EXPECT_TRUE(ListNodes(store).empty());
  ASSERT_EQ(log_lines.size(), 2u);
  EXPECT_NE(log_lines[0].find(BootstrapHostName(0)), std::string::npos);
  EXPECT_NE(log_lines[1].find(BootstrapHostName(1)), std::string::npos);
}

TEST_F(NetworkFile, MalformedFilesFallBackToBootstrapAndAreKeptAside) {
  dns.table[BootstrapHostName(0)] = 0x0A000001;
  const char* files[] = {
      "<users><node ip=\"10.0.0.1\" port=\"1\"",  // cut short
      "<likes><node ip=\"10.0.0.1\" port=\"1\"/></likes>",
      "\x01\x02\x03 not xml",
  };
  for (const char* text : files) {
    WriteWholeFile(path, text);
    test::StoreFixture f;
    dns.store = &f.store;
    EXPECT_EQ(LoadNetworkFile(f.store, {}, path, dns.Resolver()), 1u) << text;
    EXPECT_EQ(ListNodes(f.store)[0].host, BootstrapHostName(0));
    ASSERT_TRUE(SaveNetworkFile(f.store, path));
    EXPECT_EQ(ReadWholeFile(path + ".bad"), text);
    ASSERT_EQ(std::remove((path + ".bad").c_str()), 0);
  }
}

TEST_F(NetworkFile, SaveReplacesTheFileWholeOrNotAtAll) {
  Merge(Peer(1, 0x0A000001, 1), now);
  WriteWholeFile(path, "old");
  ASSERT_TRUE(SaveNetworkFile(store, path));
  EXPECT_NE(ReadWholeFile(path), "old");
  // A directory that cannot take the temporary file: the old file stays.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
  const std::string before = ReadWholeFile(path);
  Merge(Peer(2, 0x0A000002, 1), now);
  const bool saved = static_cast<bool>(SaveNetworkFile(store, path));
  ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
  if (::geteuid() != 0) {
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadWholeFile(path), before);
  }
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST(HostResolver, GetaddrinfoOnNumericTextAndLocalhost) {
  EXPECT_EQ(ResolveHostIpv4("192.0.2.7"), 0xC0000207u);
  EXPECT_EQ(ResolveHostIpv4("localhost") >> 24, 127u);
  EXPECT_EQ(ResolveHostIpv4(""), 0u);
}

TEST(BootstrapDocument, TwoHostsOnTheDefaultPort) {
  pugi::xml_document doc;
  BuiltInBootstrapDocument(doc);
  int count = 0;
  for (const pugi::xml_node& node : doc.child("users").children("node")) {
    EXPECT_STREQ(node.attribute("url").value(), BootstrapHostName(count));
    EXPECT_STREQ(node.attribute("port").value(), "31265");
    EXPECT_FALSE(node.attribute("ip"));
    ++count;
  }
  EXPECT_EQ(count, 2);
  EXPECT_STRNE(BootstrapHostName(0), BootstrapHostName(1));
}

}  // namespace
}  // namespace orv
