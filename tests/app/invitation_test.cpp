// Invitations as text: what is written reads back, and a malformed one is
// refused whole with a reason that names the field.
#include "app/invitation.hpp"

#include <gtest/gtest.h>

namespace orv {
namespace {

const char kId[] = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";

Invitation Sample() {
  Invitation invitation;
  for (size_t i = 0; i < kUserIdWords; ++i) invitation.user_id[i] = i % 2 ? 0x89ABCDEF : 0x01234567;
  invitation.addresses = {{0xC0A80105, 31265}, {0xCB007107, 40000}};
  invitation.name = "Zoë & Co/100%";
  return invitation;
}

TEST(Invitation, WhatIsWrittenReadsBack) {
  const std::string text = FormatInvitation(Sample());
  EXPECT_EQ(text, std::string("orv:") + kId + "?addr=192.168.1.5:31265&addr=203.0.113.7:40000&name=Zo%C3%AB%20%26%20Co%2F100%25");
  const InvitationParse parsed = ParseInvitation("  " + text + "\r\n");
  ASSERT_TRUE(parsed.invitation) << parsed.reason;
  EXPECT_TRUE(SameUserId(parsed.invitation->user_id, Sample().user_id));
  EXPECT_EQ(parsed.invitation->addresses, Sample().addresses);
  EXPECT_EQ(parsed.invitation->name, Sample().name);

  const InvitationParse bare = ParseInvitation(std::string("orv://") + kId + "?future=1");
  ASSERT_TRUE(bare.invitation) << bare.reason;
  EXPECT_TRUE(bare.invitation->addresses.empty());
  EXPECT_TRUE(bare.invitation->name.empty());
}

TEST(Invitation, AMalformedOneIsRefusedWithTheField) {
  const std::string id = kId;
  std::string seventeen = "orv:" + id + "?";
  for (int i = 0; i < 17; ++i) seventeen += "addr=10.0.0.1:1&";
  const struct {
    std::string text;
    std::string reason;
  } cases[] = {
      {"http://example.org/" + id, "not an invitation: it does not start with orv:"},
      {"orv:" + id.substr(1), "user id: not 64 hexadecimal digits"},
      {"orv:" + id + "0", "user id: not 64 hexadecimal digits"},
      {"orv:" + std::string(63, '0') + "G", "user id: not 64 hexadecimal digits"},
      {"orv:" + std::string(64, '0'), "user id: all zero, nobody's"},
      {"orv:" + id + "?addr=10.0.0.1", "field addr: not an IPv4 address and port: 10.0.0.1"},
      {"orv:" + id + "?addr=10.0.0.1:0", "field addr: not an IPv4 address and port: 10.0.0.1:0"},
      {"orv:" + id + "?addr=300.1.1.1:5", "field addr: not an IPv4 address and port: 300.1.1.1:5"},
      {"orv:" + id + "?name=%4", "field name: a broken %-escape"},
      {"orv:" + id + "?name=%ZZ", "field name: a broken %-escape"},
      {"orv:" + id + "?name=" + std::string(447, 'x'), "field name: longer than 446 bytes"},
      {seventeen, "field addr: more than 16 addresses"},
  };
  for (const auto& c : cases) {
    const InvitationParse parsed = ParseInvitation(c.text);
    EXPECT_FALSE(parsed.invitation) << c.text;
    EXPECT_EQ(parsed.reason, c.reason) << c.text;
  }
}

}  // namespace
}  // namespace orv
