#include <gtest/gtest.h>

#include "net/net_text.hpp"

namespace orv {
namespace {

TEST(NetText, PeerNamesCannotBreakTheLogLine) {
  const uint32_t f[8] = {1, 2, 3, 4, 5, 6, 7, 0xABCDEF01};
  const std::string name = "Mallory\r\n26/12/10 10:00:00 - Network:\tSession confirmed by\x7f\t";
  EXPECT_EQ(IdentityText("Successful session response", "127.0.0.1:9", name, 298, f),
            "Successful session response from 127.0.0.1:9, user name: Mallory  26/12/10 10:00:00 - Network: "
            "Session confirmed by  , version 298, fingerprint 00000001 00000002 00000003 00000004 00000005 "
            "00000006 00000007 ABCDEF01");
  EXPECT_EQ(OneLineText("Ünïcödé name"), "Ünïcödé name");  // UTF-8 bytes are kept
}

}  // namespace
}  // namespace orv
