// A UDP relay that stands between two nodes and makes their link bad on
// purpose: it loses, duplicates, delays, reorders and rate-limits datagrams,
// and can cut the link for a while. Node A talks to the relay's port A as if
// it were node B; node B sees the relay's port B as node A.
//
//   A's peer --> socket A ==[A to B impairment]==> socket B --> B's target
//   A's peer <-- socket A <==[B to A impairment]== socket B <-- B's target
//
// Everything random comes from one seeded generator per direction, so a run
// with the same seed and the same traffic makes the same decisions. One
// thread polls both sockets and sends what is due from a time-ordered
// queue; it stops promptly when the relay is destroyed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orv::test {

// An IPv4 address and UDP port; `ipv4` in host order.
struct UdpAddress {
  uint32_t ipv4 = 0;
  uint16_t port = 0;
};

// "a.b.c.d:port" (port 0..65535); nullopt when the text is not one.
std::optional<UdpAddress> ParseUdpAddress(const std::string& text);
std::string UdpAddressText(const UdpAddress& address);

// What one direction of the link does to the datagrams that cross it.
struct Impairment {
  double loss = 0.0;       // probability that a datagram is lost
  double duplicate = 0.0;  // probability that a datagram is sent twice
  // Each copy waits `delay` ± `jitter` (uniform, never below zero) before
  // it is sent; with jitter, later datagrams may overtake earlier ones.
  std::chrono::milliseconds delay{0};
  std::chrono::milliseconds jitter{0};
  // A bottleneck of this many bytes per second (0: none) in front of the
  // delay, with a queue of at most `queue_limit_bytes`; what does not fit
  // is dropped at the tail.
  uint64_t rate_bytes_per_second = 0;
  uint64_t queue_limit_bytes = 256 * 1024;
};

// What happened to the datagrams of one direction so far.
struct RelayCounters {
  uint64_t received = 0;           // datagrams taken in from the sending side
  uint64_t forwarded = 0;          // copies sent on (duplicates included)
  uint64_t lost = 0;               // dropped by the loss probability
  uint64_t duplicated = 0;         // extra copies made
  uint64_t dropped_in_outage = 0;  // dropped, on arrival or when due, during an outage
  uint64_t dropped_by_queue = 0;   // did not fit into the rate limit's queue
  uint64_t unroutable = 0;         // B to A before A's peer was known
  uint64_t queued = 0;             // copies waiting to be sent now
};

enum class Direction { kAToB, kBToA };

struct RelayConfig {
  UdpAddress a_bind{0x7f000001, 0};
  UdpAddress b_bind{0x7f000001, 0};
  UdpAddress b_target;
  // A's peer; when absent, the sender of the first datagram on socket A.
  std::optional<UdpAddress> a_peer;
  Impairment a_to_b;
  Impairment b_to_a;
  uint64_t seed = 1;
};

class ImpairRelay {
 public:
  // Binds both sockets and starts the relay's thread; nullptr with `error`
  // set when a socket cannot be made or bound.
  static std::unique_ptr<ImpairRelay> Start(const RelayConfig& config, std::string& error);
  ~ImpairRelay();
  ImpairRelay(const ImpairRelay&) = delete;
  ImpairRelay& operator=(const ImpairRelay&) = delete;

  uint16_t PortA() const;
  uint16_t PortB() const;

  // Replaces a direction's impairment; datagrams already queued keep the
  // time they were given.
  void SetImpairment(Direction direction, const Impairment& impairment);
  Impairment ImpairmentOf(Direction direction) const;

  // Cuts the link in both directions until EndOutage, or for `length`.
  void StartOutage();
  void EndOutage();
  void Outage(std::chrono::milliseconds length);
  bool InOutage() const;

  RelayCounters Counters(Direction direction) const;
  // Waits until `condition` holds for the counters of both directions or
  // `limit` passes; the condition is checked again whenever they change,
  // under the relay's lock (so it must not call the relay).
  bool WaitForCounters(const std::function<bool(const RelayCounters& a_to_b, const RelayCounters& b_to_a)>& condition,
                       std::chrono::milliseconds limit);

  struct State;  // the sockets, the lanes, the queue and the thread

 private:
  struct Key {
    explicit Key() = default;
  };

 public:
  // Made only by Start.
  ImpairRelay(Key, std::unique_ptr<State> state);

 private:
  std::unique_ptr<State> state_;
};

}  // namespace orv::test
