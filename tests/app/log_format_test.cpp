#include "app/log_format.hpp"

#include <gtest/gtest.h>

namespace orv {
namespace {

const uint32_t kUserId[8] = {0x01234567, 0x89ABCDEF, 0, 1, 0xFFFFFFFF, 0x10, 0xA, 0xDEADBEEF};

TEST(LogFormat, TimeStampIsYearFirstTwoDigitsEach) {
  EXPECT_EQ(FormatTimeStamp({2026, 12, 10, 5, 9, 3}).view(), "26/12/10 05:09:03");
  EXPECT_EQ(FormatTimeStamp({2100, 1, 1, 23, 59, 59}).view(), "00/01/01 23:59:59");
}

TEST(LogFormat, PacketLines) {
  struct Case {
    TraceDirection direction;
    uint32_t ip;
    uint16_t port;
    uint32_t type;
    int32_t size;
    std::string_view expected_tail;  // after "26/12/10 05:09:03:\t"
  } cases[] = {
      {TraceDirection::kSent, 0x7F000001, 31265, 3, 44,
       "TX\t127.  0.  0.  1:31265 01234567 89ABCDEF 00000000 00000001 FFFFFFFF 00000010 0000000A DEADBEEF "
       "type 3 (ping_req) size 44\r\n"},
      {TraceDirection::kReceived, 0xC0A80A02, 80, 0, 120,
       "RX\t192.168. 10.  2:   80 01234567 89ABCDEF 00000000 00000001 FFFFFFFF 00000010 0000000A DEADBEEF "
       "type 0 (encoded) size 120\r\n"},
      {TraceDirection::kReceived, 0, 0, 11, 4,
       "RX\t  0.  0.  0.  0:    0 01234567 89ABCDEF 00000000 00000001 FFFFFFFF 00000010 0000000A DEADBEEF "
       "type 11 (confirmed) size 4\r\n"},
      {TraceDirection::kReceived, 0x01020304, 65535, 12, 36,
       "RX\t  1.  2.  3.  4:65535 01234567 89ABCDEF 00000000 00000001 FFFFFFFF 00000010 0000000A DEADBEEF "
       "type 12 (UNKNOWN) size 36\r\n"},
      {TraceDirection::kSent, 0x01020304, 1, 255, 384,
       "TX\t  1.  2.  3.  4:    1 01234567 89ABCDEF 00000000 00000001 FFFFFFFF 00000010 0000000A DEADBEEF "
       "type 255 (UNKNOWN) size 384\r\n"},
  };
  for (const Case& c : cases) {
    const TraceLine line = FormatPacketLine("26/12/10 05:09:03", c.direction, c.ip, c.port, kUserId, c.type, c.size);
    EXPECT_EQ(line.view(), std::string("26/12/10 05:09:03:\t") + std::string(c.expected_tail));
  }
}

TEST(LogFormat, DatagramTypeNames) {
  const char* names[] = {"encoded",     "ses_request",   "ses_response", "ping_req", "ping_resp", "name_req",
                         "name_resp",   "ses_confirm",   "ses_terminate", "busy",    "reject",    "confirmed"};
  for (uint32_t t = 0; t < 12; ++t) EXPECT_EQ(DatagramTypeName(t), names[t]);
  for (uint32_t t : {12u, 13u, 200u, 0xFFFFFFFFu}) EXPECT_EQ(DatagramTypeName(t), "UNKNOWN");
}

TEST(LogFormat, DataStartEndAndEventLines) {
  const uint32_t words[2] = {1, 0xCAFEBABE};
  EXPECT_EQ(FormatDataLine(TraceDirection::kSent, words).view(), "TX: data 0x00000001 0xCAFEBABE\r\n");
  EXPECT_EQ(FormatDataLine(TraceDirection::kReceived, words).view(), "RX: data 0x00000001 0xCAFEBABE\r\n");

  std::string out;
  AppendStartLine(out, "26/12/10 05:09:03");
  EXPECT_EQ(out, "\r\n\r\nLog started at 26/12/10 05:09:03, ORV version 298\r\n\r\n");
  out.clear();
  AppendEndLine(out, "26/12/10 05:09:04");
  EXPECT_EQ(out, "\r\n\r\nLog normaly finished at 26/12/10 05:09:04\r\n\r\n");
  out.clear();
  // Line breaks inside a message end in CR LF like every line end.
  AppendEventLine(out, "26/12/10 05:09:03", "Key & Password", "Can't find\nit");
  EXPECT_EQ(out, "26/12/10 05:09:03 - Key & Password:\tCan't find\r\nit\r\n");
}

}  // namespace
}  // namespace orv
