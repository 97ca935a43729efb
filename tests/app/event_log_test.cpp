#include "app/event_log.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.hpp"
#include "app/log_file.hpp"
#include "app/recording_log_sink.hpp"
#include "app/scripted_ui_port.hpp"

namespace orv {
namespace {

using test::ReadWholeFile;
using test::TempDir;

const uint32_t kPeer[8] = {1, 2, 3, 4, 5, 6, 7, 8};

// A log with a recording list, a scripted UI port and a clock the test sets.
class EventLogTest : public ::testing::Test {
 protected:
  EventLogTest() {
    settings_.Log = dir_ / "log.txt";
    settings_.EnableLog = true;
  }
  ~EventLogTest() override { CloseLog(); }

  void Create() {
    LogOptions options;
    options.sink = sink_;
    options.ui = &ui_;
    options.clock = [this] {
      LogTime t{2026, 12, 10, 5, 9, 0};
      t.second = second_.load();
      return t;
    };
    CreateLog(std::move(options), settings_);
  }

  std::string LogText() const { return ReadWholeFile(settings_.Log); }

  static void Packet(uint32_t type = 0) { TracePacket(TraceDirection::kSent, 0x7F000001, 31265, kPeer, type, 120); }

  TempDir dir_;
  Settings settings_;
  std::shared_ptr<RecordingLogSink> sink_ = std::make_shared<RecordingLogSink>();
  ScriptedUiPort ui_;
  std::atomic<int> second_{0};
};

constexpr const char* kPacketTail =
    "TX\t127.  0.  0.  1:31265 00000001 00000002 00000003 00000004 00000005 00000006 00000007 00000008 ";

TEST_F(EventLogTest, NothingIsLoggedWhileNoLogExists) {
  LogEvent("Main", "before");
  Packet();
  EXPECT_FALSE(LogFileOpen());
  Create();
  CloseLog();
  LogEvent("Main", "after");  // a late call finds no log
  Packet();
  ReopenLog(settings_);       // nor is one reopened
  EXPECT_TRUE(sink_->rows().empty());
  EXPECT_EQ(LogText(),
            "\r\n\r\nLog started at 26/12/10 05:09:00, ORV version 298\r\n\r\n"
            "\r\n\r\nLog normaly finished at 26/12/10 05:09:00\r\n\r\n");
}

TEST_F(EventLogTest, WithoutEnableLogOnlyTheListFills) {
  settings_.EnableLog = false;
  Create();
  LogEvent("Network", "hello");
  Packet();
  CloseLog();
  EXPECT_EQ(sink_->rows(), (std::vector<RecordingLogSink::Row>{{"26/12/10 05:09:00", "Network", "hello"}}));
  EXPECT_FALSE(std::filesystem::exists(settings_.Log));
}

TEST_F(EventLogTest, SwitchingEnableLogOffAndOnEndsAndRestartsTheFile) {
  Create();
  LogEvent("Main", "one");
  second_ = 1;
  settings_.EnableLog = false;
  ReopenLog(settings_);
  LogEvent("Main", "two");  // list only
  second_ = 2;
  settings_.EnableLog = true;
  ReopenLog(settings_);
  LogEvent("Main", "three");
  second_ = 3;
  CloseLog();
  EXPECT_EQ(LogText(),
            "\r\n\r\nLog started at 26/12/10 05:09:00, ORV version 298\r\n\r\n"
            "26/12/10 05:09:00 - Main:\tone\r\n"
            "\r\n\r\nLog normaly finished at 26/12/10 05:09:01\r\n\r\n"
            "\r\n\r\nLog started at 26/12/10 05:09:02, ORV version 298\r\n\r\n"
            "26/12/10 05:09:02 - Main:\tthree\r\n"
            "\r\n\r\nLog normaly finished at 26/12/10 05:09:03\r\n\r\n");
  EXPECT_EQ(sink_->rows().size(), 3u);
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(EventLogTest, TraceLinesGoToTheFileOnly) {
  Create();
  Packet(3);
  Packet(12);
  TracePacket(TraceDirection::kReceived, 1, 2, nullptr, 0, 36);  // no UserId: no line
  const uint32_t words[2] = {1, 0x55AA};
  TraceData(TraceDirection::kReceived, words);
  TraceAddressUpdate("Updated IP and port for ...");
  CloseLog();
  EXPECT_TRUE(sink_->rows().empty());
  const std::string stamp = "26/12/10 05:09:00:\t";
  EXPECT_EQ(LogText(), "\r\n\r\nLog started at 26/12/10 05:09:00, ORV version 298\r\n\r\n" + stamp + kPacketTail +
                           "type 3 (ping_req) size 120\r\n" + stamp + kPacketTail +
                           "type 12 (UNKNOWN) size 120\r\n"
                           "RX: data 0x00000001 0x000055AA\r\n"
                           "Updated IP and port for ...\r\n"
                           "\r\n\r\nLog normaly finished at 26/12/10 05:09:00\r\n\r\n");
}

TEST_F(EventLogTest, LogFileThatCannotBeCreatedIsAWarningAndTheListGoesOn) {
  settings_.Log = dir_ / "missing-folder/log.txt";
  Create();
  EXPECT_FALSE(LogFileOpen());
  LogEvent("Main", "still listed");
  EXPECT_EQ(ui_.messages(),
            (std::vector<ScriptedUiPort::Message>{{"Warning", "Can't create log file", MessageIcon::kWarning, false}}));
  EXPECT_EQ(sink_->rows().size(), 1u);
}

TEST(LogFile, ASecondWriterIsRefused) {
  TempDir dir;
  LogFile first;
  LogFile second;
  ASSERT_TRUE(first.Open(dir / "log.txt"));
  EXPECT_FALSE(second.Open(dir / "log.txt"));
  first.Close();
  EXPECT_TRUE(second.Open(dir / "log.txt"));
}

// Fills the file past `megabytes` MiB with one big event line (events never rotate).
void FillPast(int megabytes) { LogEvent("Main", std::string(static_cast<size_t>(megabytes) * 1048576, 'x')); }

TEST_F(EventLogTest, RotationWithLogSize1ReplacesTheOlderBak) {
  settings_.LogSize = 1;
  Create();
  const std::string bak = settings_.Log + ".bak";
  FillPast(1);
  EXPECT_FALSE(std::filesystem::exists(bak));  // the limit is checked by packet lines only
  Packet(1);
  ASSERT_TRUE(std::filesystem::exists(bak));
  EXPECT_GT(std::filesystem::file_size(bak), 1048576u);
  EXPECT_NE(ReadWholeFile(bak).find("type 1 (ses_request)"), std::string::npos);
  EXPECT_EQ(LogText(), "");  // a new empty file, no start line

  Packet(2);
  FillPast(1);
  Packet(4);
  const std::string second_bak = ReadWholeFile(bak);
  EXPECT_EQ(second_bak.rfind(std::string("26/12/10 05:09:00:\t") + kPacketTail + "type 2 (ses_response)", 0), 0u);
  EXPECT_NE(second_bak.find("type 4 (ping_resp)"), std::string::npos);
  EXPECT_EQ(LogText(), "");
  Packet(5);
  EXPECT_NE(LogText().find("type 5 (name_req)"), std::string::npos);
}

TEST_F(EventLogTest, ZeroOrNegativeLogSizeNeverRotates) {
  for (int32_t size : {0, -1}) {
    settings_.LogSize = size;
    std::filesystem::remove(settings_.Log);
    Create();
    FillPast(1);
    Packet();
    EXPECT_FALSE(std::filesystem::exists(settings_.Log + ".bak")) << size;
    EXPECT_GT(std::filesystem::file_size(settings_.Log), 1048576u) << size;
  }
}

TEST_F(EventLogTest, LargeLogSizeIsNotCutTo32Bits) {
  settings_.LogSize = 4096;  // 4 GiB: 4096 * 1048576 overflows a 32-bit count
  Create();
  Packet();
  Packet();
  EXPECT_FALSE(std::filesystem::exists(settings_.Log + ".bak"));
}

TEST_F(EventLogTest, NewLogSizeTakesEffectWithoutReopening) {
  settings_.LogSize = 0;
  Create();
  FillPast(1);
  SetLogSize(1);
  Packet();
  EXPECT_TRUE(std::filesystem::exists(settings_.Log + ".bak"));
}

TEST_F(EventLogTest, CreatingASecondLogEndsTheFirst) {
  Create();
  second_ = 7;
  settings_.EnableLog = false;
  Create();
  EXPECT_NE(LogText().find("Log normaly finished at 26/12/10 05:09:07"), std::string::npos);
}

TEST_F(EventLogTest, EchoStreamGetsEventLinesWithPlainLineEnds) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> echo(std::tmpfile(), &std::fclose);
  ASSERT_TRUE(echo);
  LogOptions options;
  options.echo = echo.get();
  options.clock = [] { return LogTime{2026, 1, 2, 3, 4, 5}; };
  settings_.EnableLog = false;
  CreateLog(std::move(options), settings_);
  LogEvent("upnp", "UPnP mapping was set successfully");
  Packet();  // never echoed
  CloseLog();
  std::rewind(echo.get());
  char buffer[256] = {};
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, echo.get());
  EXPECT_EQ(std::string(buffer, n), "26/01/02 03:04:05 - upnp:\tUPnP mapping was set successfully\n");
}

// The source and message of the concurrency tests' event lines.
std::string ThreadSource(int t) { return std::string(1, 'T').append(std::to_string(t)); }
std::string ThreadMessage(int t, int i) {
  return std::string("message ").append(std::to_string(i)).append(" of thread ").append(std::to_string(t));
}

// A padding line of the concurrency test: "<stamp> - T<n>:\tppp...".
bool IsPadLine(const std::string& line) {
  const size_t tab = line.find('\t');
  return tab != std::string::npos && line.size() > tab + 1000 &&
         line.find_first_not_of('p', tab + 1) == std::string::npos;
}

bool StartsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }
bool EndsWith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

// One of the line kinds the concurrency test writes.
bool IsKnownLine(const std::string& line) {
  if (line.empty() || StartsWith(line, "Log normaly finished at ")) return true;
  if (StartsWith(line, "Log started at ")) return EndsWith(line, ", ORV version 298");
  if (StartsWith(line, "26/12/10 05:09:00 - T"))
    return line.find(":\tmessage ") != std::string::npos && line.find(" of thread ") != std::string::npos;
  return StartsWith(line, "26/12/10 05:09:00:\tTX\t") && EndsWith(line, " type 0 (encoded) size 120");
}

// Every line of the file is whole: one of the kinds the log writes.
void ExpectWholeLines(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  size_t n = 0;
  while (std::getline(in, line)) {
    ASSERT_FALSE(line.empty() || line.back() != '\r') << "line " << n << " lacks its CR";
    line.pop_back();
    if (IsPadLine(line)) continue;
    ASSERT_TRUE(IsKnownLine(line)) << "line " << n << ": " << line.substr(0, 200);
    ++n;
  }
}

TEST_F(EventLogTest, ConcurrentLoggingKeepsLinesWholeThroughRotations) {
  settings_.LogSize = 1;
  Create();
  constexpr int kThreads = 4;
  constexpr int kEach = 400;
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([t] {
        const std::string pad(100000, 'p');  // big lines, so that the file rotates several times
        for (int i = 0; i < kEach; ++i) {
          LogEvent(ThreadSource(t), ThreadMessage(t, i));
          if (i % 50 == 0) LogEvent(ThreadSource(t), pad);
          Packet();
        }
      });
    }
  }
  CloseLog();
  size_t listed = 0;
  for (const auto& row : sink_->rows()) listed += row.message.rfind("message ", 0) == 0;
  EXPECT_EQ(listed, static_cast<size_t>(kThreads * kEach));
  ASSERT_TRUE(std::filesystem::exists(settings_.Log + ".bak"));
  for (const std::string& path : {settings_.Log, settings_.Log + ".bak"}) ExpectWholeLines(ReadWholeFile(path));
}

TEST_F(EventLogTest, LoggingWhileTheLogClosesIsSafe) {
  Create();
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0};
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < 3; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; !stop.load(); ++i) {
          LogEvent(ThreadSource(t), ThreadMessage(t, i));
          Packet();
          ++calls;
        }
      });
    }
    while (calls.load() < 300) std::this_thread::yield();
    CloseLog();  // the threads go on calling into a log that no longer exists
    const int at_close = calls.load();
    while (calls.load() < at_close + 300) std::this_thread::yield();
    stop = true;
  }
  const std::string text = LogText();
  const std::string end = "Log normaly finished at 26/12/10 05:09:00\r\n\r\n";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);  // nothing after the end line
  ExpectWholeLines(text);
}

}  // namespace
}  // namespace orv
