// The impairing relay between two plain UDP sockets on 127.0.0.1: what it
// does to a burst of numbered datagrams under each impairment, where
// replies go, that a bottleneck queues and drops at its tail, and that the
// same seed makes the same decisions.
//
// Nothing here waits for a guessed time: the sender keeps only a window
// ahead of what the relay has taken in, and the receiver reads until it
// holds exactly as many datagrams as the relay says it forwarded, once
// nothing is left in the relay's queue. What must not arrive is checked
// against the relay's counters of what it dropped.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/unique_fd.hpp"
#include "support/impair_relay.hpp"

namespace orv::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kLoopbackIp = 0x7f000001;
constexpr uint32_t kBurst = 200;
constexpr uint32_t kWindow = 32;  // datagrams sent ahead of what the relay took in
constexpr auto kLimit = std::chrono::seconds(30);
constexpr size_t kHeaderBytes = 12;  // number, then the send time

// A UDP socket on 127.0.0.1 with a port of the system's choice.
class LoopbackSocket {
 public:
  LoopbackSocket() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    const int size = 4 << 20;
    if (::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
      ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in sa = Loopback(0);
    socklen_t length = sizeof sa;
    if (::bind(fd_.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&sa), &length) == 0)
      port_ = ntohs(sa.sin_port);
  }

  uint16_t port() const { return port_; }

  bool SendTo(uint16_t port, const std::vector<uint8_t>& bytes) const {
    const sockaddr_in sa = Loopback(port);
    return ::sendto(fd_.get(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) ==
           static_cast<ssize_t>(bytes.size());
  }

  struct Datagram {
    std::vector<uint8_t> bytes;
    uint16_t from_port = 0;
    Clock::time_point at;
  };

  // Waits up to `limit` for the socket to become readable, then takes
  // every datagram waiting.
  std::vector<Datagram> Receive(milliseconds limit) const {
    std::vector<Datagram> got;
    pollfd p{fd_.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) return got;
    for (;;) {
      std::vector<uint8_t> buffer(2048);
      sockaddr_in sa{};
      socklen_t length = sizeof sa;
      const ssize_t n = ::recvfrom(fd_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&sa), &length);
      if (n < 0) return got;
      buffer.resize(static_cast<size_t>(n));
      got.push_back({std::move(buffer), ntohs(sa.sin_port), Clock::now()});
    }
  }

 private:
  static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(kLoopbackIp);
    sa.sin_port = htons(port);
    return sa;
  }

  UniqueFd fd_;
  uint16_t port_ = 0;
};

// A numbered datagram of `size` bytes carrying the time it was sent.
std::vector<uint8_t> Numbered(uint32_t number, size_t size) {
  std::vector<uint8_t> bytes(std::max(size, kHeaderBytes));
  const int64_t sent = Clock::now().time_since_epoch().count();
  std::memcpy(bytes.data(), &number, sizeof number);
  std::memcpy(bytes.data() + sizeof number, &sent, sizeof sent);
  return bytes;
}

struct Arrival {
  uint32_t number = 0;
  Clock::duration in_flight{};  // from the send to the arrival
};

Arrival ArrivalOf(const LoopbackSocket::Datagram& d) {
  Arrival a;
  int64_t sent = 0;
  std::memcpy(&a.number, d.bytes.data(), sizeof a.number);
  std::memcpy(&sent, d.bytes.data() + sizeof a.number, sizeof sent);
  a.in_flight = d.at - Clock::time_point(Clock::duration(sent));
  return a;
}

// Node A's socket, node B's socket and the relay between them; A's peer is
// learned from A's first datagram.
class RelayLink : public ::testing::Test {
 protected:
  void StartRelay(const Impairment& a_to_b, uint64_t seed = 42) {
    RelayConfig config;
    config.b_target = {kLoopbackIp, node_b.port()};
    config.a_to_b = a_to_b;
    config.seed = seed;
    std::string error;
    relay = ImpairRelay::Start(config, error);
    ASSERT_TRUE(relay) << error;
  }

  // Sends datagrams `first` .. `first + count - 1` from A to the relay,
  // never more than a window ahead of what the relay has taken in, and
  // collects what reaches B meanwhile.
  void SendNumbered(uint32_t first, uint32_t count, size_t size = kHeaderBytes) {
    const uint64_t before = relay->Counters(Direction::kAToB).received;
    for (uint32_t i = 0; i < count; ++i) {
      ASSERT_TRUE(node_a.SendTo(relay->PortA(), Numbered(first + i, size)));
      if ((i + 1) % kWindow == 0 || i + 1 == count) {
        ASSERT_TRUE(CollectUntil([&](const RelayCounters& c) { return c.received >= before + i + 1; }))
            << "the relay took in " << relay->Counters(Direction::kAToB).received - before << " of " << i + 1;
      }
    }
  }

  // Collects at B until the relay has nothing queued and B holds every
  // copy the relay forwarded.
  void CollectEverything() {
    ASSERT_TRUE(CollectUntil([&](const RelayCounters& c) { return c.queued == 0 && arrivals.size() == c.forwarded; }))
        << "B got " << arrivals.size() << ", the relay forwarded " << relay->Counters(Direction::kAToB).forwarded;
  }

  bool CollectUntil(const std::function<bool(const RelayCounters&)>& done) {
    const auto deadline = Clock::now() + kLimit;
    while (!done(relay->Counters(Direction::kAToB))) {
      if (Clock::now() > deadline) return false;
      // A short wait, so that a change of the counters without a datagram
      // for B (a loss, a drop) is seen soon.
      for (const auto& d : node_b.Receive(milliseconds(10))) arrivals.push_back(ArrivalOf(d));
    }
    return true;
  }

  // How often each number arrived.
  std::map<uint32_t, int> Copies() const {
    std::map<uint32_t, int> copies;
    for (const Arrival& a : arrivals) ++copies[a.number];
    return copies;
  }

  bool InSendingOrder() const {
    return std::is_sorted(arrivals.begin(), arrivals.end(),
                          [](const Arrival& x, const Arrival& y) { return x.number < y.number; });
  }

  LoopbackSocket node_a, node_b;
  std::unique_ptr<ImpairRelay> relay;
  std::vector<Arrival> arrivals;
};

struct BurstCase {
  const char* name;
  Impairment impairment;
  bool outage_for_first_half;
  // The counters once the burst of 200 has crossed.
  uint64_t forwarded, lost, duplicated, dropped_in_outage;
  // Numbers below this one never arrive; the others arrive this often.
  uint32_t first_arriving;
  int copies;
  bool reordered;
};

Impairment Loss(double p) {
  Impairment i;
  i.loss = p;
  return i;
}

Impairment Duplication(double p) {
  Impairment i;
  i.duplicate = p;
  return i;
}

Impairment Delay(milliseconds base, milliseconds jitter) {
  Impairment i;
  i.delay = base;
  i.jitter = jitter;
  return i;
}

class RelayBurst : public RelayLink, public ::testing::WithParamInterface<BurstCase> {};

TEST_P(RelayBurst, CountersAndArrivalsFollowTheImpairment) {
  const BurstCase& c = GetParam();
  StartRelay(c.impairment);
  if (c.outage_for_first_half) {
    relay->StartOutage();
    SendNumbered(0, kBurst / 2);
    relay->EndOutage();
    SendNumbered(kBurst / 2, kBurst / 2);
  } else {
    SendNumbered(0, kBurst);
  }
  CollectEverything();

  const RelayCounters counters = relay->Counters(Direction::kAToB);
  EXPECT_EQ(counters.received, kBurst);
  EXPECT_EQ(counters.forwarded, c.forwarded);
  EXPECT_EQ(counters.lost, c.lost);
  EXPECT_EQ(counters.duplicated, c.duplicated);
  EXPECT_EQ(counters.dropped_in_outage, c.dropped_in_outage);
  EXPECT_EQ(counters.dropped_by_queue, 0u);
  EXPECT_EQ(relay->Counters(Direction::kBToA).received, 0u);

  const std::map<uint32_t, int> copies = Copies();
  for (uint32_t n = 0; n < kBurst; ++n) {
    const int expected = n < c.first_arriving ? 0 : c.copies;
    EXPECT_EQ(copies.count(n) ? copies.at(n) : 0, expected) << "datagram " << n;
  }
  EXPECT_EQ(!InSendingOrder(), c.reordered);
  const auto least_delay = c.impairment.delay - c.impairment.jitter;
  for (const Arrival& a : arrivals) ASSERT_GE(a.in_flight, least_delay) << "datagram " << a.number;
}

INSTANTIATE_TEST_SUITE_P(
    Impairments, RelayBurst,
    ::testing::Values(BurstCase{"Clean", {}, false, 200, 0, 0, 0, 0, 1, false},
                      BurstCase{"EverythingLost", Loss(1.0), false, 0, 200, 0, 0, 0, 0, false},
                      BurstCase{"EverythingTwice", Duplication(1.0), false, 400, 0, 200, 0, 0, 2, false},
                      BurstCase{"DelayAndJitterReorder", Delay(milliseconds(20), milliseconds(15)), false, 200, 0, 0,
                                0, 0, 1, true},
                      BurstCase{"OutageDropsThenRecovers", {}, true, 100, 0, 0, 100, 100, 1, false}),
    [](const ::testing::TestParamInfo<BurstCase>& burst) { return std::string(burst.param.name); });

TEST_F(RelayLink, RepliesGoBackToTheLearnedPeerOnly) {
  StartRelay({});
  // B speaks before A's peer is known: nowhere to send it.
  ASSERT_TRUE(node_b.SendTo(relay->PortB(), {1}));
  ASSERT_TRUE(relay->WaitForCounters([](const RelayCounters&, const RelayCounters& ba) { return ba.unroutable == 1; },
                                     kLimit));

  ASSERT_TRUE(node_a.SendTo(relay->PortA(), {'h', 'i'}));
  std::vector<LoopbackSocket::Datagram> at_b;
  for (const auto deadline = Clock::now() + kLimit; at_b.empty() && Clock::now() < deadline;)
    at_b = node_b.Receive(milliseconds(100));
  ASSERT_EQ(at_b.size(), 1u);
  EXPECT_EQ(at_b[0].from_port, relay->PortB());  // B sees the relay as A

  // A stranger's datagram on socket B is not part of the link; B's reply,
  // read after it, is the only one that reaches A, from the relay's port A.
  LoopbackSocket stranger;
  ASSERT_TRUE(stranger.SendTo(relay->PortB(), {'x'}));
  ASSERT_TRUE(node_b.SendTo(at_b[0].from_port, {'o', 'k'}));
  ASSERT_TRUE(relay->WaitForCounters([](const RelayCounters&, const RelayCounters& ba) { return ba.forwarded == 1; },
                                     kLimit));
  std::vector<LoopbackSocket::Datagram> at_a;
  for (const auto deadline = Clock::now() + kLimit; at_a.empty() && Clock::now() < deadline;)
    at_a = node_a.Receive(milliseconds(100));
  ASSERT_EQ(at_a.size(), 1u);
  EXPECT_EQ(at_a[0].bytes, (std::vector<uint8_t>{'o', 'k'}));
  EXPECT_EQ(at_a[0].from_port, relay->PortA());
  EXPECT_EQ(relay->Counters(Direction::kBToA).received, 2u);  // the unroutable one and the reply
}

// 200-byte datagrams into a 20 kB/s bottleneck with room for 2000 bytes:
// a burst overflows the queue, what fits leaves in order, one every 10 ms.
TEST_F(RelayLink, ABottleneckQueuesAndDropsTheTail) {
  Impairment bottleneck;
  bottleneck.rate_bytes_per_second = 20'000;
  bottleneck.queue_limit_bytes = 2'000;
  StartRelay(bottleneck);
  const auto start = Clock::now();
  SendNumbered(0, kBurst, 200);
  CollectEverything();

  const RelayCounters counters = relay->Counters(Direction::kAToB);
  EXPECT_GT(counters.dropped_by_queue, 0u);
  EXPECT_GE(counters.forwarded, 2'000u / 200);
  EXPECT_EQ(counters.forwarded + counters.dropped_by_queue, kBurst);
  EXPECT_TRUE(InSendingOrder());
  // The bottleneck never sends faster than its rate.
  EXPECT_GE(Clock::now() - start, milliseconds(10) * counters.forwarded);
}

// The decisions depend only on the seed and the order of the datagrams.
TEST_F(RelayLink, TheSameSeedMakesTheSameDecisions) {
  Impairment lossy;
  lossy.loss = 0.3;
  lossy.duplicate = 0.2;
  std::vector<std::map<uint32_t, int>> runs;
  for (uint64_t seed : {7, 7, 8}) {
    StartRelay(lossy, seed);
    SendNumbered(0, kBurst);
    CollectEverything();
    runs.push_back(Copies());
    arrivals.clear();
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_NE(runs[0], runs[2]);
}

}  // namespace
}  // namespace orv::test
