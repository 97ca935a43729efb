// Two orvd processes talk the way two people do, driven through `orvd ctl`:
// chat both ways, a call dialled, answered and hung up, and a 20 MiB file
// that arrives whole.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include "orvd_nodes.hpp"
#include "orvd_process.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

using test::OrvdProcess;
using test::TempDir;
using test::Ctl;
using test::CtlResult;
using test::FieldOf;
using test::NodeArgs;


// The settings line that puts received files into `dir/name/received`.
std::string Received(const TempDir& dir, const std::string& name) {
  const std::string folder = dir / (name + "/received");
  std::filesystem::create_directories(folder);
  return "[Files]\nFileTransferPath=" + folder + "\n";
}

std::string Sha256Of(const std::string& path) {
  std::string out;
  FILE* p = ::popen(("sha256sum '" + path + "'").c_str(), "r");
  if (!p) return out;
  char buffer[128];
  if (std::fgets(buffer, sizeof buffer, p)) out = std::string(buffer).substr(0, 64);
  ::pclose(p);
  return out;
}

void WriteRandomFile(const std::string& path, size_t bytes) {
  std::mt19937_64 random(20261210);
  std::ofstream out(path, std::ios::binary);
  std::vector<char> block(1 << 16);
  for (size_t done = 0; done < bytes; done += block.size()) {
    for (char& c : block) c = static_cast<char>(random());
    out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), bytes - done)));
  }
}

// The 16-bit mono samples of a WAV file (its "data" chunk).
std::vector<int16_t> WavSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto le32 = [&b](size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24; };
  std::vector<int16_t> samples;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = le32(at + 4);
    if (std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4) == "data") {
      for (size_t i = at + 8; i + 1 < b.size() && i + 1 < at + 8 + size; i += 2)
        samples.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8));
      break;
    }
    at += 8 + size + (size & 1);
  }
  return samples;
}

// The normalized correlation of `heard` with the looping `sent` shifted by
// `lag`, over every sample heard.
double CorrelationAt(const std::vector<double>& heard, const std::vector<double>& sent, size_t lag) {
  double hs = 0, hh = 0, ss = 0;
  for (size_t t = 0; t < heard.size(); ++t) {
    const double x = sent[(t + lag) % sent.size()];
    hs += heard[t] * x;
    hh += heard[t] * heard[t];
    ss += x * x;
  }
  return hh > 0 && ss > 0 ? hs / std::sqrt(hh * ss) : 0.0;
}

// The energy of every 10 ms of `samples`.
std::vector<double> Envelope(const std::vector<double>& samples) {
  std::vector<double> energy(samples.size() / 160);
  for (size_t i = 0; i < energy.size(); ++i)
    for (size_t k = 0; k < 160; ++k) energy[i] += samples[i * 160 + k] * samples[i * 160 + k];
  return energy;
}

struct SpeechMatch {
  double correlation = 0.0;
  size_t lag = 0;  // heard[t] follows sent[(t + lag) % sent.size()]
};

// How closely what was heard follows the speech sent (which loops, so it
// may be heard from any point of it): the envelopes find the offset to
// within 10 ms, the samples around it give the best correlation.
SpeechMatch MatchSpeech(const std::vector<int16_t>& heard16, const std::vector<int16_t>& sent16) {
  const std::vector<double> heard(heard16.begin(), heard16.end()), sent(sent16.begin(), sent16.end());
  const std::vector<double> eh = Envelope(heard), es = Envelope(sent);
  SpeechMatch match;
  if (eh.empty() || es.empty()) return match;
  size_t best_frame = 0;
  double best = -2.0;
  for (size_t lag = 0; lag < es.size(); ++lag) {
    const double c = CorrelationAt(eh, es, lag);
    if (c > best) best = c, best_frame = lag;
  }
  match.correlation = -2.0;
  const size_t centre = best_frame * 160 + sent.size();
  for (size_t lag = centre - 320; lag <= centre + 320; ++lag) {
    const double c = CorrelationAt(heard, sent, lag);
    if (c > match.correlation) match.correlation = c, match.lag = lag % sent.size();
  }
  return match;
}

// The value of a numeric field of a reply.
int64_t NumberOf(const std::string& line, const std::string& key) {
  const std::string text = FieldOf(line, key);
  return text.empty() ? -1 : std::stoll(text);
}

class OrvdConversation : public ::testing::Test {
 protected:
  // Both nodes run once SetUp has passed. Alice speaks from a speech file;
  // bob's speaker is recorded.
  void SetUp() override {
    alice_profile = dir / "alice";
    bob_profile = dir / "bob";
    std::vector<std::string> alice_args = NodeArgs(dir, "alice", Received(dir, "alice"));
    alice_args.insert(alice_args.end(), {"--capture", TEST_SPEECH_WAV, "--capture-loop"});
    alice = std::make_unique<OrvdProcess>(alice_args);
    ASSERT_FALSE(alice->WaitFor("Control socket ").empty()) << alice->output();
    std::vector<std::string> bob_args = NodeArgs(dir, "bob", Received(dir, "bob"));
    bob_args.insert(bob_args.end(), {"--playback", bob_speaker});
    bob = std::make_unique<OrvdProcess>(bob_args);
    ASSERT_FALSE(bob->WaitFor("Control socket ").empty()) << bob->output();
    const CtlResult a = Ctl(alice_profile, {"status"});
    const CtlResult b = Ctl(bob_profile, {"status"});
    ASSERT_EQ(a.status, 0) << a.output;
    ASSERT_EQ(b.status, 0) << b.output;
    alice_port = FieldOf(a.output, "port");
    alice_id = FieldOf(a.output, "user");
    bob_id = FieldOf(b.output, "user");
  }

  void TearDown() override {
    if (alice) {
      EXPECT_EQ(Ctl(alice_profile, {"quit"}).status, 0);
      EXPECT_EQ(alice->WaitExit(), 0) << alice->output();
    }
    if (bob) {
      EXPECT_EQ(Ctl(bob_profile, {"quit"}).status, 0);
      EXPECT_EQ(bob->WaitExit(), 0) << bob->output();
    }
  }

  // Bob writes to alice by address; the conversation opens on both sides.
  void ChatHello() {
    const CtlResult sent = Ctl(bob_profile, {"chat", "127.0.0.1:" + alice_port, "hello alice"});
    ASSERT_EQ(sent.status, 0) << sent.output;
    const std::string got = alice->WaitFor("event chat ");
    ASSERT_NE(got.find("text=\"hello alice\""), std::string::npos) << alice->output();
    EXPECT_EQ(FieldOf(got, "user"), bob_id);
    EXPECT_FALSE(bob->WaitFor("event delivered ").empty()) << bob->output();
  }

  TempDir dir;
  const std::string bob_speaker = dir / "bob_speaker.wav";
  std::string alice_profile, bob_profile, alice_port, alice_id, bob_id;
  std::unique_ptr<OrvdProcess> alice, bob;
};

TEST_F(OrvdConversation, ChatBothWaysThenACall) {
  ChatHello();
  const CtlResult reply = Ctl(alice_profile, {"chat", bob_id, "hello bob, how are you?"});
  ASSERT_EQ(reply.status, 0) << reply.output;
  const std::string got = bob->WaitFor("event chat ");
  EXPECT_NE(got.find("text=\"hello bob, how are you?\""), std::string::npos) << bob->output();
  EXPECT_EQ(FieldOf(got, "user"), alice_id);
  const CtlResult list = Ctl(alice_profile, {"conversations"});
  EXPECT_NE(list.output.find("user=" + bob_id), std::string::npos) << list.output;

  ASSERT_EQ(Ctl(alice_profile, {"call", bob_id}).status, 0);
  const std::string ring = bob->WaitFor("event incoming_call ");
  ASSERT_FALSE(ring.empty()) << bob->output();
  EXPECT_NE(ring.find("is calling"), std::string::npos) << ring;
  const CtlResult answer = Ctl(bob_profile, {"answer", alice_id});
  ASSERT_EQ(answer.status, 0) << answer.output;
  EXPECT_FALSE(alice->WaitFor("event call_state ", std::chrono::seconds(60)).empty());
  EXPECT_FALSE(alice->WaitFor("name=\"IN VOICE\"").empty()) << alice->output();
  EXPECT_FALSE(bob->WaitFor("name=\"IN VOICE\"").empty()) << bob->output();
  // Alice's speech plays in bob's speaker for a few seconds.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  const CtlResult alice_audio = Ctl(alice_profile, {"audio"});
  const CtlResult bob_audio = Ctl(bob_profile, {"audio"});
  const int64_t captured = NumberOf(alice_audio.output, "capture_started_ns");
  const int64_t played = NumberOf(bob_audio.output, "playback_started_ns");
  ASSERT_GT(captured, 0) << alice_audio.output;
  ASSERT_GT(played, 0) << bob_audio.output;

  ASSERT_EQ(Ctl(alice_profile, {"hangup", bob_id}).status, 0);
  EXPECT_FALSE(bob->WaitFor("name=IDLE").empty()) << bob->output();
  EXPECT_EQ(Ctl(bob_profile, {"hangup", alice_id}).status, 1);  // nothing left to hang up
  EXPECT_EQ(Ctl(bob_profile, {"quit"}).status, 0);
  EXPECT_EQ(bob->WaitExit(), 0) << bob->output();
  bob.reset();
  // Bob heard alice's speech: through the codec the samples still follow
  // the speech sent closely (about 0.8), where unrelated speech or silence
  // correlates near 0.
  std::vector<int16_t> heard = WavSamples(bob_speaker);
  // The first second holds the jitter queue filling and the start of the
  // echo canceller; the measure takes what follows.
  ASSERT_GT(heard.size(), 32000u);
  heard.erase(heard.begin(), heard.begin() + 16000);
  const std::vector<int16_t> sent = WavSamples(TEST_SPEECH_WAV);
  const SpeechMatch match = MatchSpeech(heard, sent);
  std::printf("speech correlation through two orvd nodes: %.3f\n", match.correlation);
  EXPECT_GT(match.correlation, 0.5);
  // Mouth to ear: the heard sample 16000 was played at `played` + 1 s and
  // is the sent sample `lag`, which alice's microphone took at `captured`
  // plus its place in the looping file; both nodes read the machine's one
  // steady clock. The delay is shorter than one pass of the file.
  constexpr int64_t kSampleNs = 62500;  // 16 kHz
  const int64_t loop_ns = static_cast<int64_t>(sent.size()) * kSampleNs;
  const int64_t raw = played + 16000 * kSampleNs - captured - static_cast<int64_t>(match.lag) * kSampleNs;
  const int64_t delay_ns = ((raw % loop_ns) + loop_ns) % loop_ns;
  std::printf("mouth-to-ear delay through two orvd nodes: %.1f ms\n", static_cast<double>(delay_ns) / 1e6);
  EXPECT_GT(delay_ns, 20'000'000);     // at least one 20 ms block
  EXPECT_LT(delay_ns, 1'500'000'000);  // a call, not a recording
}

TEST_F(OrvdConversation, ContactsAndDiscovery) {
  ChatHello();  // the session stands
  const CtlResult add = Ctl(bob_profile, {"add", alice_id});
  ASSERT_EQ(add.status, 0) << add.output;
  EXPECT_EQ(Ctl(bob_profile, {"authorize", alice_id}).status, 0);
  EXPECT_EQ(Ctl(bob_profile, {"rename", alice_id, "Alice at home"}).status, 0);
  const CtlResult contacts = Ctl(bob_profile, {"contacts"});
  EXPECT_NE(contacts.output.find("name=\"Alice at home\""), std::string::npos) << contacts.output;
  EXPECT_NE(contacts.output.find("user=" + alice_id), std::string::npos) << contacts.output;
  EXPECT_EQ(Ctl(bob_profile, {"add", "0000000000000000000000000000000000000000000000000000000000000000"}).status, 1);

  // Bob's one-second tick follows the network: alice goes away, her next
  // message carries it, and her row turns to away.
  EXPECT_EQ(Ctl(alice_profile, {"away"}).status, 0);
  EXPECT_EQ(Ctl(alice_profile, {"chat", bob_id, "back soon"}).status, 0);
  EXPECT_FALSE(bob->WaitFor("text=\"back soon\"").empty()) << bob->output();
  bool away = false;
  for (int i = 0; i < 50 && !away; ++i) {  // at most five seconds
    away = Ctl(bob_profile, {"contacts"}).output.find("status=away") != std::string::npos;
    if (!away) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(away) << Ctl(bob_profile, {"contacts"}).output;

  const CtlResult located = Ctl(bob_profile, {"locate", alice_id});
  EXPECT_EQ(located.status, 0) << located.output;
  const CtlResult info = Ctl(bob_profile, {"info", alice_id});
  EXPECT_NE(info.output.find("authorized=YES"), std::string::npos) << info.output;
  EXPECT_NE(Ctl(bob_profile, {"away"}).output.find("ORV Telephone - away"), std::string::npos);

  // The contacts file is saved and signed: the next start accepts it.
  EXPECT_EQ(Ctl(bob_profile, {"quit"}).status, 0);
  EXPECT_EQ(bob->WaitExit(), 0) << bob->output();
  EXPECT_EQ(bob->output().find("Wrong user list signature"), std::string::npos);
  bob.reset();
  EXPECT_TRUE(std::filesystem::exists(bob_profile + "/likes.xml"));
  EXPECT_TRUE(std::filesystem::exists(bob_profile + "/likes.xml.sig"));
}

TEST_F(OrvdConversation, ATwentyMegabyteFileArrivesWhole) {
  ChatHello();  // the session stands
  const std::string source = dir / "big.bin";
  WriteRandomFile(source, 20u << 20);
  const CtlResult offer = Ctl(alice_profile, {"send", bob_id, source});
  ASSERT_EQ(offer.status, 0) << offer.output;
  const std::string request = bob->WaitFor("event transfer_requested ");
  ASSERT_FALSE(request.empty()) << bob->output();
  EXPECT_EQ(FieldOf(request, "name"), "big.bin");
  const std::string target = bob_profile + "/received/copy.bin";
  const CtlResult accept = Ctl(bob_profile, {"accept", FieldOf(request, "transfer"), target});
  ASSERT_EQ(accept.status, 0) << accept.output;
  const std::string finished = bob->WaitFor("event transfer_finished ", std::chrono::seconds(600));
  ASSERT_FALSE(finished.empty()) << bob->output();
  EXPECT_EQ(Sha256Of(target), Sha256Of(source));
  EXPECT_FALSE(alice->WaitFor("event transfer_finished ", std::chrono::seconds(60)).empty());
  const CtlResult downloads = Ctl(bob_profile, {"downloads"});
  EXPECT_NE(downloads.output.find("copy.bin"), std::string::npos) << downloads.output;
}

}  // namespace
}  // namespace orv
