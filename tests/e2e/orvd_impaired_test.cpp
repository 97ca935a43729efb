// Two orvd processes on a bad link: alice reaches bob only through an
// impairing relay that loses 10 % of the datagrams, duplicates 5 % and
// delays each by 30 ± 20 ms (so they overtake each other), both ways. Over
// that link, and across a 5-second outage of it, chat lines arrive once
// each and in order, a 5 MB file arrives whole, and the session survives.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "orvd_nodes.hpp"
#include "orvd_process.hpp"
#include "support/impair_relay.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using test::Ctl;
using test::CtlResult;
using test::Direction;
using test::FieldOf;
using test::ImpairRelay;
using test::Impairment;
using test::NodeArgs;
using test::OrvdProcess;
using test::RelayConfig;
using test::RelayCounters;
using test::TempDir;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kLoopback = 0x7f000001;
constexpr auto kOutage = seconds(5);
constexpr int kChatLines = 200;
constexpr size_t kFileBytes = 5u << 20;

// The link of every test here, the same each way.
Impairment BadLink() {
  Impairment link;
  link.loss = 0.10;
  link.duplicate = 0.05;
  link.delay = milliseconds(30);
  link.jitter = milliseconds(20);
  return link;
}

// Bob takes text from anyone and saves every file offered to him in
// `bob/received` without asking.
std::string BobPolicies(const TempDir& dir) {
  const std::string folder = dir / "bob/received";
  std::filesystem::create_directories(folder);
  return "[Privacy]\nAllowAnyone=1\nAcceptFileTransfer=1\n[Files]\nAutoReceiveFiles=1\nFileTransferPath=" + folder +
         "\n";
}

std::string LineText(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "line %03d", number);
  return text;
}

// The text of an `event chat` line (the texts here need no escapes).
std::string ChatText(const std::string& event) {
  const size_t begin = event.find(" text=\"");
  if (begin == std::string::npos) return FieldOf(event, "text");
  const size_t end = event.find('"', begin + 7);
  return event.substr(begin + 7, end - begin - 7);
}

// What is wrong with the lines bob showed, compared with "line 000" ..
// "line 199" once each in order; empty when nothing is.
std::string ChatFaults(const std::vector<std::string>& shown) {
  std::ostringstream missing, twice, early;
  std::multiset<std::string> seen(shown.begin(), shown.end());
  for (int n = 0; n < kChatLines; ++n) {
    const size_t count = seen.count(LineText(n));
    if (count == 0) missing << ' ' << n;
    if (count > 1) twice << ' ' << n;
  }
  for (size_t i = 1; i < shown.size(); ++i)
    if (shown[i] < shown[i - 1]) early << " '" << shown[i] << "' after '" << shown[i - 1] << "';";
  std::ostringstream faults;
  if (!missing.str().empty()) faults << "missing:" << missing.str() << '\n';
  if (!twice.str().empty()) faults << "shown more than once:" << twice.str() << '\n';
  if (!early.str().empty()) faults << "out of order:" << early.str() << '\n';
  return faults.str();
}

void WriteSeededFile(const std::string& path, size_t bytes, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::vector<char> data(bytes);
  for (char& c : data) c = static_cast<char>(random());
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

void PrintLink(const char* name, const RelayCounters& c) {
  std::printf("relay %s: %llu in, %llu out, %llu lost, %llu twice, %llu in the outage\n", name,
              static_cast<unsigned long long>(c.received), static_cast<unsigned long long>(c.forwarded),
              static_cast<unsigned long long>(c.lost), static_cast<unsigned long long>(c.duplicated),
              static_cast<unsigned long long>(c.dropped_in_outage));
}

seconds SecondsLeft(Clock::time_point deadline) {
  return std::max(seconds(0), std::chrono::ceil<seconds>(deadline - Clock::now()));
}

// The texts of a node's `event chat` lines until one is `last`, or `limit`
// passes.
std::vector<std::string> ChatShownUntil(OrvdProcess& node, const std::string& last, seconds limit) {
  std::vector<std::string> shown;
  const auto deadline = Clock::now() + limit;
  while (shown.empty() || shown.back() != last) {
    const std::string event = node.WaitFor("event chat ", SecondsLeft(deadline));
    if (event.empty()) break;
    shown.push_back(ChatText(event));
  }
  return shown;
}

bool EndsWith(const std::vector<std::string>& shown, const std::string& last) {
  return !shown.empty() && shown.back() == last;
}

// `orvd ctl` taking commands on its standard input, one a line, and
// answering each on its standard output: many commands in one connection.
class CtlSession {
 public:
  explicit CtlSession(const std::string& profile) {
    int input[2], output[2];
    // A socket for the input, so that writing to a ctl that died fails
    // instead of raising SIGPIPE.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) return;
    if (::pipe2(output, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(input[1], STDIN_FILENO);
      ::dup2(output[1], STDOUT_FILENO);
      ::dup2(output[1], STDERR_FILENO);
      ::execl(ORVD_PATH, ORVD_PATH, "ctl", "--profile", profile.c_str(), "--timeout", "60", nullptr);
      ::_exit(127);
    }
    ::close(input[1]);
    ::close(output[1]);
    in_ = input[0];
    out_ = output[0];
  }
  ~CtlSession() {
    CloseInput();
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  CtlSession(const CtlSession&) = delete;
  CtlSession& operator=(const CtlSession&) = delete;

  bool Send(const std::string& lines) {
    for (size_t done = 0; done < lines.size();) {
      const ssize_t n = ::send(in_, lines.data() + done, lines.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  // The next line of output, or nullopt at its end or at the deadline.
  std::optional<std::string> ReadLine(Clock::time_point deadline) {
    for (size_t nl; (nl = buffer_.find('\n')) == std::string::npos;) {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
      pollfd p{out_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
      char chunk[4096];
      const ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
    const size_t nl = buffer_.find('\n');
    std::string line = buffer_.substr(0, nl);
    buffer_.erase(0, nl + 1);
    return line;
  }

  void CloseInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }

  // Its exit status once the input is closed, -1 when it does not end in time.
  int WaitExit(seconds limit) {
    CloseInput();
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      ReadLine(Clock::now() + milliseconds(50));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

class OrvdImpaired : public ::testing::Test {
 protected:
  // Both nodes run, the relay stands in front of bob, and alice has a
  // session with bob through it.
  void SetUp() override {
    bob_profile = dir / "bob";
    alice_profile = dir / "alice";
    bob = std::make_unique<OrvdProcess>(NodeArgs(dir, "bob", BobPolicies(dir)));
    ASSERT_FALSE(bob->WaitFor("Control socket ").empty()) << bob->output();
    alice = std::make_unique<OrvdProcess>(NodeArgs(dir, "alice"));
    ASSERT_FALSE(alice->WaitFor("Control socket ").empty()) << alice->output();
    const CtlResult b = Ctl(bob_profile, {"status"});
    const CtlResult a = Ctl(alice_profile, {"status"});
    ASSERT_EQ(b.status, 0) << b.output;
    ASSERT_EQ(a.status, 0) << a.output;
    bob_id = FieldOf(b.output, "user");
    alice_id = FieldOf(a.output, "user");

    RelayConfig config;
    config.b_target = {kLoopback, static_cast<uint16_t>(std::stoi(FieldOf(b.output, "port")))};
    config.a_to_b = config.b_to_a = BadLink();
    config.seed = 20261211;
    std::string error;
    relay = ImpairRelay::Start(config, error);
    ASSERT_TRUE(relay) << error;

    const CtlResult connect = Ctl(alice_profile, {"connect", "127.0.0.1:" + std::to_string(relay->PortA())});
    ASSERT_EQ(connect.status, 0) << connect.output;
    ASSERT_FALSE(alice->WaitFor("event session_established ", seconds(30)).empty()) << SessionStory();
    ASSERT_FALSE(bob->WaitFor("event session_established ", seconds(10)).empty()) << SessionStory();
  }

  void TearDown() override {
    for (auto* node : {&alice, &bob}) {
      if (!*node) continue;
      const std::string profile = node == &alice ? alice_profile : bob_profile;
      EXPECT_EQ(Ctl(profile, {"quit"}).status, 0);
      EXPECT_EQ((*node)->WaitExit(), 0) << (*node)->output();
    }
    if (relay) {
      PrintLink("alice->bob", relay->Counters(Direction::kAToB));
      PrintLink("bob->alice", relay->Counters(Direction::kBToA));
    }
  }

  // What both nodes said about their sessions and the network, for the
  // message of a failure (reads what they printed meanwhile for a second).
  std::string SessionStory() {
    std::string story;
    for (auto* node : {alice.get(), bob.get()}) {
      node->WaitFor("\x01", seconds(1));
      story += node == alice.get() ? "alice:\n" : "bob:\n";
      std::istringstream lines(node->output());
      for (std::string line; std::getline(lines, line);)
        if (line.find("event session_") != std::string::npos || line.find(" - Network:\t") != std::string::npos)
          story += "  " + line + "\n";
    }
    return story;
  }

  // Alice sends lines `first` .. `first + count - 1` through one ctl
  // session, all at once, and every one is taken.
  void SendChatLines(CtlSession& ctl, int first, int count) {
    std::string commands;
    for (int n = first; n < first + count; ++n) commands += "chat " + bob_id + " " + LineText(n) + "\n";
    ASSERT_TRUE(ctl.Send(commands));
    const auto deadline = Clock::now() + seconds(20);
    for (int n = first; n < first + count; ++n) {
      const std::optional<std::string> reply = ctl.ReadLine(deadline);
      ASSERT_TRUE(reply) << "no reply to " << LineText(n);
      ASSERT_EQ(reply->rfind("ok conversation=", 0), 0u) << LineText(n) << ": " << *reply;
    }
  }

  // Adds the texts of bob's `event chat` lines to `shown` until every
  // numbered line has been shown at least once, or `limit` passes.
  void NumberedLinesShownByBob(std::vector<std::string>& shown, seconds limit) {
    std::set<std::string> distinct(shown.begin(), shown.end());
    const auto deadline = Clock::now() + limit;
    while (distinct.size() < static_cast<size_t>(kChatLines)) {
      const std::string event = bob->WaitFor("event chat ", SecondsLeft(deadline));
      if (event.empty()) break;
      shown.push_back(ChatText(event));
      distinct.insert(shown.back());
    }
  }

  // How many of `count` `event delivered` lines alice shows within `limit`.
  int DeliveredToAlice(int count, seconds limit) {
    const auto deadline = Clock::now() + limit;
    int delivered = 0;
    while (delivered < count && !alice->WaitFor("event delivered ", SecondsLeft(deadline)).empty()) ++delivered;
    return delivered;
  }

  bool RelayIdle(seconds limit) {
    return relay->WaitForCounters(
        [](const RelayCounters& ab, const RelayCounters& ba) { return ab.queued == 0 && ba.queued == 0; }, limit);
  }

  TempDir dir;
  std::string alice_profile, bob_profile, alice_id, bob_id;
  std::unique_ptr<OrvdProcess> alice, bob;
  std::unique_ptr<ImpairRelay> relay;
};

// The first half of the lines crosses the bad link; the second half is
// written into an outage. Bob shows each line once, in the order written.
TEST_F(OrvdImpaired, ChatLinesArriveOnceAndInOrderAcrossAnOutage) {
  CtlSession ctl(alice_profile);
  SendChatLines(ctl, 0, kChatLines / 2);
  const std::string last_before = LineText(kChatLines / 2 - 1);
  std::vector<std::string> shown = ChatShownUntil(*bob, last_before, seconds(30));
  ASSERT_TRUE(EndsWith(shown, last_before)) << ChatFaults(shown) << SessionStory();
  relay->Outage(kOutage);
  SendChatLines(ctl, kChatLines / 2, kChatLines / 2);
  EXPECT_EQ(ctl.WaitExit(seconds(10)), 0);

  NumberedLinesShownByBob(shown, seconds(45));
  ASSERT_EQ(std::set<std::string>(shown.begin(), shown.end()).size(), static_cast<size_t>(kChatLines))
      << ChatFaults(shown) << SessionStory();
  // Late copies may still be on their way: once alice holds every
  // acknowledgement and the link is empty, one more line closes the record;
  // whatever bob shows before it counts.
  EXPECT_EQ(DeliveredToAlice(kChatLines, seconds(20)), kChatLines) << SessionStory();
  EXPECT_TRUE(RelayIdle(seconds(10)));
  ASSERT_EQ(Ctl(alice_profile, {"chat", bob_id, "the end"}).status, 0);
  const std::vector<std::string> rest = ChatShownUntil(*bob, "the end", seconds(20));
  EXPECT_TRUE(EndsWith(rest, "the end")) << SessionStory();
  shown.insert(shown.end(), rest.begin(), EndsWith(rest, "the end") ? rest.end() - 1 : rest.end());

  const std::string faults = ChatFaults(shown);
  EXPECT_TRUE(faults.empty()) << faults << "bob showed " << shown.size() << " lines";
}

// The link goes dark for 5 s while the file is on its way; the transfer
// carries on afterwards and the copy is the same, byte for byte.
TEST_F(OrvdImpaired, AFileArrivesWholeAcrossAnOutage) {
  const std::string source = dir / "random.bin";
  WriteSeededFile(source, kFileBytes, 20261211);
  const CtlResult offer = Ctl(alice_profile, {"send", bob_id, source});
  ASSERT_EQ(offer.status, 0) << offer.output;

  const auto deadline = Clock::now() + seconds(90);
  // The outage begins once a fifth of the file is there.
  int percent = 0;
  while (percent < 20) {
    const std::string event = bob->WaitFor("event transfer_", SecondsLeft(deadline));
    ASSERT_FALSE(event.empty() || event.rfind("event transfer_failed ", 0) == 0)
        << "at " << percent << " %: " << event << "\n" << SessionStory();
    if (event.rfind("event transfer_progress ", 0) == 0) percent = std::stoi(FieldOf(event, "percent"));
  }
  relay->Outage(kOutage);
  const std::string end = bob->WaitFor("event transfer_f", SecondsLeft(deadline));  // finished or failed
  ASSERT_EQ(end.rfind("event transfer_finished ", 0), 0u) << end << "\n" << SessionStory();
  const std::string copy = FieldOf(end, "path");
  ASSERT_FALSE(copy.empty()) << end;
  EXPECT_EQ(std::filesystem::file_size(copy), kFileBytes);
  EXPECT_TRUE(test::ReadWholeFile(copy) == test::ReadWholeFile(source)) << copy << " differs from " << source;
  EXPECT_FALSE(alice->WaitFor("event transfer_finished ", seconds(20)).empty()) << SessionStory();
}

// After 5 s without any datagram either way, the session stands again:
// a line each way arrives, and both nodes list the other as connected.
TEST_F(OrvdImpaired, TheSessionComesBackAfterAnOutage) {
  ASSERT_EQ(Ctl(alice_profile, {"chat", bob_id, "before"}).status, 0);
  ASSERT_TRUE(EndsWith(ChatShownUntil(*bob, "before", seconds(20)), "before")) << SessionStory();

  relay->StartOutage();
  std::this_thread::sleep_for(kOutage);  // the outage itself, not a wait for something
  relay->EndOutage();

  ASSERT_EQ(Ctl(alice_profile, {"chat", bob_id, "after"}).status, 0);
  ASSERT_TRUE(EndsWith(ChatShownUntil(*bob, "after", seconds(30)), "after")) << SessionStory();
  ASSERT_EQ(Ctl(bob_profile, {"chat", alice_id, "back"}).status, 0);
  EXPECT_TRUE(EndsWith(ChatShownUntil(*alice, "back", seconds(30)), "back")) << SessionStory();

  // A node that saw the session end sees it established again (its watch
  // looks at the peers once a second, so that may come a little later).
  for (OrvdProcess* node : {alice.get(), bob.get()}) {
    const size_t ended = node->output().rfind("event session_ended ");
    if (ended != std::string::npos && node->output().find("event session_established ", ended) == std::string::npos) {
      EXPECT_FALSE(node->WaitFor("event session_established ", seconds(10)).empty()) << SessionStory();
    }
  }
  const CtlResult alice_peers = Ctl(alice_profile, {"peers"});
  const CtlResult bob_peers = Ctl(bob_profile, {"peers"});
  EXPECT_NE(alice_peers.output.find("user=" + bob_id), std::string::npos) << alice_peers.output;
  EXPECT_NE(alice_peers.output.find("connected=1"), std::string::npos) << alice_peers.output;
  EXPECT_NE(bob_peers.output.find("user=" + alice_id), std::string::npos) << bob_peers.output;
  EXPECT_NE(bob_peers.output.find("connected=1"), std::string::npos) << bob_peers.output;
}

}  // namespace
}  // namespace orv
