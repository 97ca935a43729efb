// What a progress window shows, and what becomes of names that cross the
// wire.
#include <gtest/gtest.h>

#include "transfer/received_name.hpp"
#include "transfer/transfer_view.hpp"

namespace orv {
namespace {

TEST(ProgressText, UnitsSpeedAndTimeLeftAsFormatted) {
  constexpr uint64_t kSecond = 10'000'000;  // 100-ns units
  const struct {
    bool sending;
    uint64_t done, size, elapsed;
    const char* text;
  } cases[] = {
      {true, 316, 1000, kSecond, "Transfered 316 B out of 1 KB, speed 0.32 KB/sec, time left 2 sec"},
      {false, 999, 999, kSecond, "Received 999 B out of 999 B, speed 1.00 KB/sec, time left 0 sec"},
      {false, 1'000'000, 60'000'000, kSecond, "Received 1 MB out of 60 MB, speed 1000.00 KB/sec, time left 59 sec"},
      {false, 1'000'000, 62'000'000, kSecond, "Received 1 MB out of 62 MB, speed 1000.00 KB/sec, time left 1 min"},
      {false, 1'000'000, 3'602'000'000, kSecond,
       "Received 1 MB out of 3 GB, speed 1000.00 KB/sec, time left 1 h"},
      {true, 0, 5'000'000'000'000, kSecond, "Transfered 0 B out of 5 TB, speed 0.00 KB/sec, time left 24 h"},
      {true, 100, 200, 0, "Transfered 100 B out of 200 B, speed 0.00 KB/sec, time left 24 h"},
      // More than the size (the last block is short) shows the size.
      {true, 632, 317, kSecond, "Transfered 317 B out of 317 B, speed 0.32 KB/sec, time left 0 sec"},
      {false, 316, UINT64_MAX, kSecond,
       "Received 316 B out of 18446744 TB, speed 0.32 KB/sec, time left 277777777 h"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgressText(c.sending, c.done, c.size, c.elapsed), c.text);
}

TEST(ProgressText, QuantitiesTakeTheLargestUnitNotAboveThem) {
  EXPECT_EQ(QuantityText(0), "0 B");
  EXPECT_EQ(QuantityText(999), "999 B");
  EXPECT_EQ(QuantityText(1000), "1 KB");
  EXPECT_EQ(QuantityText(1'999'999), "1 MB");
  EXPECT_EQ(QuantityText(2'500'000'000), "2 GB");
  EXPECT_EQ(QuantityText(1'000'000'000'000), "1 TB");
}

TEST(ProgressText, StateTextsAndBar) {
  EXPECT_STREQ(StateText(kTransferWaiting), "Waiting");
  EXPECT_STREQ(StateText(kTransferRequested), "FILE TRANSFER REQUEST!");
  EXPECT_STREQ(StateText(kTransferCancelling), "Cancelling Transfer");
  EXPECT_STREQ(StateText(kTransferCanceled), "Transfer is canceled");
  EXPECT_STREQ(StateText(kTransferComplete), "File received");
  EXPECT_STREQ(StateText(kTransferTimedOut), "Connection timeout");
  EXPECT_EQ(ProgressPercent(1, 3), 33u);
  EXPECT_EQ(ProgressPercent(0, 0), 0u);
  EXPECT_EQ(ProgressPercent(UINT64_MAX / 316, UINT64_MAX / 316 + 1), 99u);
}

std::string Safe(const std::u16string& name) {
  std::string bytes;
  for (char16_t c : name) bytes += {static_cast<char>(c & 0xff), static_cast<char>(c >> 8)};
  return SafeReceivedName(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(ReceivedName, HostileNamesBecomeOnePlainName) {
  const struct {
    std::u16string offered;
    std::string safe;
  } cases[] = {
      {u"report.txt", "report.txt"},
      {u"../../.bashrc", "bashrc"},
      {u"..\\..\\Windows\\evil.exe", "evil.exe"},
      {u"/etc/passwd", "passwd"},
      {u"..", "received file"},
      {u"dir/", "received file"},
      {u"", "received file"},
      {std::u16string(u"a.txt\0/../../x", 14), "a.txt"},
      {u"bad\xd800name", "bad\xef\xbf\xbdname"},  // a lone surrogate becomes U+FFFD
      {u"line\nbreak\x7f", "line_break_"},
      {u" . hidden. ", "hidden"},
      // Direction overrides and marks would show "gpj.exe" as "exe.jpg".
      {u"photo\u202egpj.exe", "photo_gpj.exe"},
      {u"\u202a\u202b\u202c\u202d\u202e.txt", "_____.txt"},
      {u"a\u2066b\u2067c\u2068d\u2069e", "a_b_c_d_e"},
      {u"x\u200ey\u200fz\u061c.pdf", "x_y_z_.pdf"},
      {u"c1\u0085\u009b", "c1__"},
      {u"caf\u00e9 \u05e9\u05dc\u05d5\u05dd.txt", "caf\xc3\xa9 \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(Safe(c.offered), c.safe);
}

TEST(ReceivedName, LongNamesAreCutOnACharacterBoundaryKeepingTheExtension) {
  const std::u16string long_name = std::u16string(157, u'\u00e9') + u".pdf";  // 2 bytes each in UTF-8
  const std::string safe = Safe(long_name);
  EXPECT_LE(safe.size(), kMaxSafeNameBytes);
  EXPECT_EQ(safe.substr(safe.size() - 4), ".pdf");
  EXPECT_EQ(safe.size() % 2, 0u);  // no half character
  // An odd last byte is dropped.
  const uint8_t odd[] = {'a', 0, 'b'};
  EXPECT_EQ(SafeReceivedName(odd, sizeof odd), "a");
}

TEST(ReceivedName, NumbersGoBeforeTheLastDot) {
  EXPECT_EQ(NumberedName("report.txt", 2), "report (2).txt");
  EXPECT_EQ(NumberedName("archive.tar.gz", 1), "archive.tar (1).gz");
  EXPECT_EQ(NumberedName("README", 3), "README (3)");
}

TEST(OfferedName, TheNameWithoutFolderWithinOneRequest) {
  EXPECT_EQ(OfferedName("/home/alice/report.txt"), u"report.txt");
  EXPECT_EQ(OfferedName("plain"), u"plain");
  // 157 letters and a pair that would be split at 158: the pair goes whole.
  const std::string pair = "\xf0\x9f\x98\x80";  // U+1F600
  const std::u16string cut = OfferedName(std::string(157, 'a') + pair + "b");
  EXPECT_EQ(cut, std::u16string(157, u'a'));
}

}  // namespace
}  // namespace orv
