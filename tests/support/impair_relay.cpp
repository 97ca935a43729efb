#include "support/impair_relay.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <queue>
#include <random>
#include <stop_token>
#include <thread>
#include <vector>

#include "platform/unique_fd.hpp"

namespace orv::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxDatagram = 65536;
// Datagrams taken from one socket before the queue gets its turn again, so
// that a flood on one side cannot hold back what is due.
constexpr int kReadsPerRound = 256;
// The relay's sockets buffer generously, so that its own thread being late
// on a busy machine does not add losses nobody asked for.
constexpr int kSocketBuffer = 4 << 20;

size_t Index(Direction direction) { return direction == Direction::kAToB ? 0 : 1; }

bool SameAddress(const UdpAddress& a, const UdpAddress& b) { return a.ipv4 == b.ipv4 && a.port == b.port; }

sockaddr_in ToSockaddr(const UdpAddress& address) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(address.ipv4);
  sa.sin_port = htons(address.port);
  return sa;
}

UdpAddress FromSockaddr(const sockaddr_in& sa) { return {ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)}; }

// A copy of a datagram waiting for the time it is to be sent.
struct Pending {
  Clock::time_point due;
  uint64_t order = 0;  // keeps copies due at the same instant in arrival order
  Direction direction = Direction::kAToB;
  std::vector<uint8_t> bytes;
};

struct DueLater {
  bool operator()(const Pending& a, const Pending& b) const {
    return a.due != b.due ? a.due > b.due : a.order > b.order;
  }
};

// One direction of the link.
struct Lane {
  Impairment impairment;
  std::mt19937_64 random;
  RelayCounters counters;
  Clock::time_point bottleneck_free_at{};  // the rate limit is busy until then
};

UniqueFd BoundSocket(const UdpAddress& address, std::string& error) {
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) {
    error = std::string("cannot make a UDP socket: ") + std::strerror(errno);
    return fd;
  }
  const int size = kSocketBuffer;
  if (::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  const sockaddr_in sa = ToSockaddr(address);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    error = "cannot bind " + UdpAddressText(address) + ": " + std::strerror(errno);
    fd.Reset();
  }
  return fd;
}

uint16_t BoundPort(const UniqueFd& fd) {
  sockaddr_in sa{};
  socklen_t length = sizeof sa;
  if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&sa), &length) != 0) return 0;
  return ntohs(sa.sin_port);
}

bool Chance(std::mt19937_64& random, double probability) {
  return std::generate_canonical<double, 53>(random) < probability;
}

// `delay` ± `jitter`, uniform in microseconds, never below zero.
Clock::duration DrawDelay(Lane& lane) {
  const int64_t base = std::chrono::microseconds(lane.impairment.delay).count();
  const int64_t jitter = std::chrono::microseconds(lane.impairment.jitter).count();
  if (jitter <= 0) return std::chrono::microseconds(std::max<int64_t>(base, 0));
  std::uniform_int_distribution<int64_t> spread(base - jitter, base + jitter);
  return std::chrono::microseconds(std::max<int64_t>(spread(lane.random), 0));
}

// The time a copy of `size` bytes leaves the bottleneck, or nullopt when
// the bottleneck's queue has no room for it.
std::optional<Clock::time_point> PassBottleneck(Lane& lane, size_t size, Clock::time_point now) {
  const uint64_t rate = lane.impairment.rate_bytes_per_second;
  if (rate == 0) return now;
  const auto backlog = std::max(lane.bottleneck_free_at - now, Clock::duration::zero());
  const auto backlog_ns = static_cast<uint64_t>(std::chrono::nanoseconds(backlog).count());
  const uint64_t backlog_bytes = backlog_ns * rate / 1'000'000'000;
  if (backlog_bytes + size > lane.impairment.queue_limit_bytes) return std::nullopt;
  const auto sending = std::chrono::nanoseconds(size * 1'000'000'000 / rate);
  lane.bottleneck_free_at = std::max(lane.bottleneck_free_at, now) + sending;
  return lane.bottleneck_free_at;
}

}  // namespace

std::optional<UdpAddress> ParseUdpAddress(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  in_addr ip{};
  if (::inet_pton(AF_INET, text.substr(0, colon).c_str(), &ip) != 1) return std::nullopt;
  const char* begin = text.data() + colon + 1;
  const char* end = text.data() + text.size();
  uint16_t port = 0;
  const auto parsed = std::from_chars(begin, end, port);
  if (begin == end || parsed.ec != std::errc() || parsed.ptr != end) return std::nullopt;
  return UdpAddress{ntohl(ip.s_addr), port};
}

std::string UdpAddressText(const UdpAddress& address) {
  const in_addr ip{htonl(address.ipv4)};
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &ip, text, sizeof text);
  return std::string(text) + ":" + std::to_string(address.port);
}

struct ImpairRelay::State {
  UniqueFd socket_a;
  UniqueFd socket_b;
  UniqueFd wake;  // an eventfd that ends the thread's wait when it is to stop
  UdpAddress b_target;
  std::optional<UdpAddress> a_peer;  // the relay's thread only

  // Guards the lanes, the outage and the queue.
  mutable std::mutex mutex;
  std::condition_variable changed;
  Lane lanes[2];
  bool outage_until_ended = false;
  Clock::time_point outage_until{};
  std::priority_queue<Pending, std::vector<Pending>, DueLater> queue;
  uint64_t next_order = 0;

  // Last, so that it stops (and is joined) before anything it uses goes.
  std::jthread thread;

  // Must hold `mutex`.
  bool InOutageLocked(Clock::time_point now) const { return outage_until_ended || now < outage_until; }
  void Run(std::stop_token stop);
  int WaitMilliseconds();
  void ReadSocket(Direction from);
  void Admit(Direction direction, std::vector<uint8_t> bytes);
  void EnqueueLocked(Lane& lane, Direction direction, const std::vector<uint8_t>& bytes, Clock::time_point now);
  void SendDue();
  bool SendOne(const Pending& copy);
};

void ImpairRelay::State::Run(std::stop_token stop) {
  const std::stop_callback wake_up(stop, [this] {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake.get(), &one, sizeof one);
  });
  while (!stop.stop_requested()) {
    pollfd fds[3] = {{socket_a.get(), POLLIN, 0}, {socket_b.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
    if (::poll(fds, 3, WaitMilliseconds()) < 0 && errno != EINTR) return;
    if (fds[0].revents & POLLIN) ReadSocket(Direction::kAToB);
    if (fds[1].revents & POLLIN) ReadSocket(Direction::kBToA);
    SendDue();
  }
}

// Until the next copy is due (rounded up, so that the wait never ends
// early and spins), or for ever when nothing is queued.
int ImpairRelay::State::WaitMilliseconds() {
  const std::lock_guard lock(mutex);
  if (queue.empty()) return -1;
  const auto left = queue.top().due - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

void ImpairRelay::State::ReadSocket(Direction from) {
  const int fd = from == Direction::kAToB ? socket_a.get() : socket_b.get();
  std::vector<uint8_t> buffer(kMaxDatagram);
  for (int i = 0; i < kReadsPerRound; ++i) {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    const ssize_t n =
        ::recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sa), &length);
    if (n < 0) return;
    const UdpAddress source = FromSockaddr(sa);
    if (from == Direction::kAToB && !a_peer) a_peer = source;
    const UdpAddress& expected = from == Direction::kAToB ? *a_peer : b_target;
    if (!SameAddress(source, expected)) continue;  // not part of this link
    Admit(from, std::vector<uint8_t>(buffer.begin(), buffer.begin() + n));
  }
}

// A datagram arrived for `direction`: the outage, the loss and the
// duplication decide how many copies go on.
void ImpairRelay::State::Admit(Direction direction, std::vector<uint8_t> bytes) {
  const auto now = Clock::now();
  {
    const std::lock_guard lock(mutex);
    Lane& lane = lanes[Index(direction)];
    ++lane.counters.received;
    if (direction == Direction::kBToA && !a_peer) {
      ++lane.counters.unroutable;
    } else if (InOutageLocked(now)) {
      ++lane.counters.dropped_in_outage;
    } else if (Chance(lane.random, lane.impairment.loss)) {
      ++lane.counters.lost;
    } else {
      EnqueueLocked(lane, direction, bytes, now);
      if (Chance(lane.random, lane.impairment.duplicate)) {
        ++lane.counters.duplicated;
        EnqueueLocked(lane, direction, bytes, now);
      }
    }
  }
  changed.notify_all();
}

// Must hold `mutex`.
void ImpairRelay::State::EnqueueLocked(Lane& lane, Direction direction, const std::vector<uint8_t>& bytes,
                                       Clock::time_point now) {
  const std::optional<Clock::time_point> leaves = PassBottleneck(lane, bytes.size(), now);
  if (!leaves) {
    ++lane.counters.dropped_by_queue;
    return;
  }
  queue.push(Pending{*leaves + DrawDelay(lane), next_order++, direction, bytes});
  ++lane.counters.queued;
}

void ImpairRelay::State::SendDue() {
  for (;;) {
    Pending copy;
    bool send = false;
    {
      const std::lock_guard lock(mutex);
      const auto now = Clock::now();
      if (queue.empty() || queue.top().due > now) return;
      copy = queue.top();
      queue.pop();
      send = !InOutageLocked(now);
      if (!send) {
        RelayCounters& counters = lanes[Index(copy.direction)].counters;
        ++counters.dropped_in_outage;
        --counters.queued;
      }
    }
    // Counted only once it is sent, so that whoever waits for the
    // forwarded count finds the datagram at its destination.
    const bool sent = send && SendOne(copy);
    if (send) {
      const std::lock_guard lock(mutex);
      RelayCounters& counters = lanes[Index(copy.direction)].counters;
      ++(sent ? counters.forwarded : counters.lost);  // the system refused it: lost on the way
      --counters.queued;
    }
    changed.notify_all();
  }
}

bool ImpairRelay::State::SendOne(const Pending& copy) {
  const bool to_b = copy.direction == Direction::kAToB;
  const sockaddr_in target = ToSockaddr(to_b ? b_target : *a_peer);
  const int fd = to_b ? socket_b.get() : socket_a.get();
  const ssize_t n = ::sendto(fd, copy.bytes.data(), copy.bytes.size(), 0,
                             reinterpret_cast<const sockaddr*>(&target), sizeof target);
  return n == static_cast<ssize_t>(copy.bytes.size());
}

std::unique_ptr<ImpairRelay> ImpairRelay::Start(const RelayConfig& config, std::string& error) {
  auto state = std::make_unique<State>();
  state->socket_a = BoundSocket(config.a_bind, error);
  if (!state->socket_a.valid()) return nullptr;
  state->socket_b = BoundSocket(config.b_bind, error);
  if (!state->socket_b.valid()) return nullptr;
  state->wake = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!state->wake.valid()) {
    error = std::string("cannot make an eventfd: ") + std::strerror(errno);
    return nullptr;
  }
  state->b_target = config.b_target;
  state->a_peer = config.a_peer;
  state->lanes[0].impairment = config.a_to_b;
  state->lanes[1].impairment = config.b_to_a;
  // Two generators from one seed that do not run in step.
  state->lanes[0].random.seed(config.seed);
  state->lanes[1].random.seed(config.seed ^ 0x9e3779b97f4a7c15ull);
  State& s = *state;
  s.thread = std::jthread([&s](std::stop_token stop) { s.Run(std::move(stop)); });
  return std::make_unique<ImpairRelay>(Key{}, std::move(state));
}

ImpairRelay::ImpairRelay(Key, std::unique_ptr<State> state) : state_(std::move(state)) {}

ImpairRelay::~ImpairRelay() = default;

uint16_t ImpairRelay::PortA() const { return BoundPort(state_->socket_a); }
uint16_t ImpairRelay::PortB() const { return BoundPort(state_->socket_b); }

void ImpairRelay::SetImpairment(Direction direction, const Impairment& impairment) {
  const std::lock_guard lock(state_->mutex);
  state_->lanes[Index(direction)].impairment = impairment;
}

Impairment ImpairRelay::ImpairmentOf(Direction direction) const {
  const std::lock_guard lock(state_->mutex);
  return state_->lanes[Index(direction)].impairment;
}

void ImpairRelay::StartOutage() {
  const std::lock_guard lock(state_->mutex);
  state_->outage_until_ended = true;
}

void ImpairRelay::EndOutage() {
  const std::lock_guard lock(state_->mutex);
  state_->outage_until_ended = false;
  state_->outage_until = Clock::time_point{};
}

void ImpairRelay::Outage(std::chrono::milliseconds length) {
  const std::lock_guard lock(state_->mutex);
  state_->outage_until = std::max(state_->outage_until, Clock::now() + length);
}

bool ImpairRelay::InOutage() const {
  const std::lock_guard lock(state_->mutex);
  return state_->InOutageLocked(Clock::now());
}

RelayCounters ImpairRelay::Counters(Direction direction) const {
  const std::lock_guard lock(state_->mutex);
  return state_->lanes[Index(direction)].counters;
}

bool ImpairRelay::WaitForCounters(
    const std::function<bool(const RelayCounters& a_to_b, const RelayCounters& b_to_a)>& condition,
    std::chrono::milliseconds limit) {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, limit,
                                  [&] { return condition(state_->lanes[0].counters, state_->lanes[1].counters); });
}

}  // namespace orv::test
