// File transfer throughput between two nodes, with the classic window (10
// blocks in flight, resent every 250 ms, 10 early blocks kept) and with the
// adaptive one: directly on loopback, and through a user-space relay with a
// token-bucket rate, a fixed delay each way and random loss (10 Mbit/s of
// datagram payload, 50 ms round trip, 0.5 % loss), also towards a receiver
// that keeps only 10 early blocks. In the same run, what one core can seal
// and open per second: 328-byte payloads, the size of a block message. The
// engines run their own 50 ms ticks; the hosts keep no log.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <random>
#include <thread>
#include <vector>

#include "crypto/packet_seal.hpp"
#include "net/endpoint.hpp"
#include "quiet_host.hpp"
#include "net/payload_sender.hpp"
#include "support/test_identity.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {
namespace {

constexpr uint32_t kLoopback = 0x7f000001;
using Clock = std::chrono::steady_clock;

struct BenchNode {
  BenchNode(const test::TestIdentity& identity, const std::string& folder, TransferWindow window)
      : host(identity.record, identity.password) {
    EndpointConfig config;
    config.local_port = 0;
    config.bind_ipv4 = kLoopback;
    endpoint = OpenEndpoint(host, config);
    host.refuse.store(true);
    RestartNetwork(*endpoint);
    host.refuse.store(false);
    sender = std::make_unique<EndpointPayloadSender>(*endpoint);
    TransferServices services;
    services.sender = sender.get();
    services.settings = [folder] {
      TransferSettings s;
      s.AutoReceiveFiles = true;
      s.FileTransferPath = folder;
      return s;
    };
    FileTransferConfig transfer_config;
    transfer_config.window = window;
    engine = std::make_unique<FileTransferEngine>(services, transfer_config);
    NetworkConsumers consumers;
    consumers.transfers = engine.get();
    SetNetworkConsumers(*endpoint, consumers);
  }
  ~BenchNode() {
    SetNetworkConsumers(*endpoint, {});
    engine.reset();
    CloseEndpoint(*endpoint);
  }
  PeerRef RefAt(uint16_t port) const {
    PeerRef ref;
    CopyUserId(ref.user_id, endpoint->own_id);
    ref.ipv4 = kLoopback;
    ref.port = port;
    return ref;
  }
  uint16_t Port() const { return EndpointPort(*endpoint); }
  bool Connected(const uint32_t* peer) { return GetPeerPresence(*endpoint, peer) != 0; }
  // Every transfer this side knows is complete.
  bool AllComplete(size_t expected) {
    const auto list = engine->ListTransfers();
    if (list.size() < expected) return false;
    for (const auto& v : list)
      if (v.state != kTransferComplete) return false;
    return true;
  }

  bench::QuietHost host;
  std::unique_ptr<NetworkEndpoint> endpoint;
  std::unique_ptr<EndpointPayloadSender> sender;
  std::unique_ptr<FileTransferEngine> engine;
};

// A UDP socket on 127.0.0.1 on a port the system picks.
struct Socket {
  Socket() {
    fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(kLoopback);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  ~Socket() { ::close(fd); }
  uint16_t Port() const {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
  }
  void SendTo(uint16_t port, const std::vector<uint8_t>& bytes) const {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(kLoopback);
    a.sin_port = htons(port);
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  int fd = -1;
};

// The link between A and B, each way on its own: a token bucket of `rate`
// bytes of datagram payload per second (8 KB deep) feeding a queue of at most
// `queue_ms` of sending time (drop-tail), then `delay`, and `loss` of the
// datagrams lost at random once `lossy` is set. A sends to port_for_a() and
// B to port_for_b(). Order is kept.
struct LinkSettings {
  double rate = 0;  // bytes per second; 0: no limit
  std::chrono::milliseconds delay{0};
  double loss = 0;
  double queue_ms = 100;
  double bucket_bytes = 8192;  // the token bucket's depth
};

class Relay {
 public:
  Relay(uint16_t a_port, uint16_t b_port, LinkSettings link)
      : a_port_(a_port), b_port_(b_port), link_(link), thread_([this] { Run(); }) {}
  ~Relay() {
    stop_.store(true);
    thread_.join();
  }
  uint16_t port_for_a() const { return facing_a_.Port(); }
  uint16_t port_for_b() const { return facing_b_.Port(); }
  std::atomic<bool> lossy{false};

 private:
  struct Pending {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
  };
  struct Way {
    std::deque<Pending> queue;
    Clock::time_point free_at{};  // when the bucket has sent everything queued
  };
  void Take(const Socket& from, Way& way) {
    std::vector<uint8_t> buffer(65536);
    const ssize_t n = ::recv(from.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n <= 0) return;
    buffer.resize(static_cast<size_t>(n));
    if (lossy.load() && std::uniform_real_distribution<double>(0, 1)(random_) < link_.loss) return;
    auto now = Clock::now();
    auto depart = now;
    if (link_.rate > 0) {
      // Tokens saved while idle, up to the bucket's depth, let a datagram
      // leave early; a full queue drops it.
      const auto depth = std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(link_.bucket_bytes / link_.rate));
      const auto start = std::max(way.free_at, now - depth);
      const auto finish = start + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(static_cast<double>(n) / link_.rate));
      depart = std::max(now, finish - depth);
      if (std::chrono::duration<double, std::milli>(depart - now).count() > link_.queue_ms) return;
      way.free_at = finish;
    }
    way.queue.push_back({depart + link_.delay, std::move(buffer)});
  }
  void SendDue(Way& way, const Socket& out, uint16_t port) {
    const auto now = Clock::now();
    while (!way.queue.empty() && way.queue.front().due <= now) {
      out.SendTo(port, way.queue.front().bytes);
      way.queue.pop_front();
    }
  }
  int WaitMs() const {
    int wait_ms = 5;
    for (const Way* way : {&to_b_, &to_a_}) {
      if (way->queue.empty()) continue;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(way->queue.front().due - Clock::now());
      wait_ms = std::min(wait_ms, static_cast<int>(std::clamp<int64_t>(left.count(), 0, 5)));
    }
    return wait_ms;
  }
  void Run() {
    pollfd p[2] = {{facing_a_.fd, POLLIN, 0}, {facing_b_.fd, POLLIN, 0}};
    while (!stop_.load()) {
      if (::poll(p, 2, WaitMs()) > 0) {
        for (int i = 0; i < 64 && (p[0].revents & POLLIN); ++i) Take(facing_a_, to_b_);
        for (int i = 0; i < 64 && (p[1].revents & POLLIN); ++i) Take(facing_b_, to_a_);
      }
      SendDue(to_b_, facing_b_, b_port_);
      SendDue(to_a_, facing_a_, a_port_);
    }
  }

  uint16_t a_port_, b_port_;
  LinkSettings link_;
  Socket facing_a_, facing_b_;
  Way to_b_, to_a_;
  std::mt19937 random_{20261210};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds limit) {
  const auto end = Clock::now() + limit;
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

struct Folder {
  Folder() {
    std::string pattern = "/tmp/orv-bench-XXXXXX";
    if (::mkdtemp(pattern.data())) path = pattern;
    std::filesystem::create_directory(path + "/in");
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

// Sends files of `size` bytes from A to B, one per iteration, over `link`
// (none: directly); time from the offer until both sides are complete.
void RunTransfers(benchmark::State& state, uint64_t size, const LinkSettings* link, TransferWindow sender,
                  TransferWindow receiver) {
  Folder folder;
  {
    std::ofstream out(folder.path + "/file.bin", std::ios::binary);
    std::string block(1 << 16, '\x5a');
    for (uint64_t done = 0; done < size; done += block.size())
      out.write(block.data(), static_cast<std::streamsize>(std::min<uint64_t>(block.size(), size - done)));
  }
  BenchNode a(test::Alice(), folder.path + "/in", sender);
  BenchNode b(test::Bob(), folder.path + "/in", receiver);
  std::unique_ptr<Relay> relay;
  uint16_t b_port = b.Port();
  if (link) {
    relay = std::make_unique<Relay>(a.Port(), b.Port(), *link);
    b_port = relay->port_for_a();
  }
  const PeerRef b_for_a = b.RefAt(b_port);
  // A session first (its handshake is not measured, nor lost).
  PeerRef warm_up = b_for_a;
  a.engine->SendFileControl(warm_up, 1, kFileCancelDone);
  if (!WaitUntil([&] { return a.Connected(b.endpoint->own_id) && b.Connected(a.endpoint->own_id); },
                 std::chrono::seconds(120))) {
    state.SkipWithError("no session");
    return;
  }
  if (relay) relay->lossy.store(true);
  size_t sent = 0;
  for (auto _ : state) {
    const TransferStart start = a.engine->StartFileTransfer(b_for_a, folder.path + "/file.bin");
    ++sent;
    if (start.error != StartError::kNone ||
        !WaitUntil([&] { return a.AllComplete(sent) && b.AllComplete(sent); }, std::chrono::seconds(600))) {
      state.SkipWithError("transfer did not complete");
      break;
    }
    state.PauseTiming();
    // Make room for the next copy under the same name.
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder.path + "/in")) std::filesystem::remove(e.path(), ec);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(sent * size));
  if (link && link->rate > 0) {
    // File bytes per second as a share of the link's rate (datagram payload).
    state.counters["link_share"] = benchmark::Counter(static_cast<double>(sent * size) / link->rate,
                                                      benchmark::Counter::kIsRate);
  }
}

TransferWindow Window(int64_t adaptive) { return adaptive ? TransferWindow{} : ClassicTransferWindow(); }

// What one core seals and opens per second: 328-byte payloads, the size of
// a block message.
void BM_SealAndOpen328(benchmark::State& state) {
  constexpr size_t n = kMaxMessageBytes;
  KeystreamGenerator send, receive;
  uint32_t key[kKeyBlockWords] = {9, 8, 7};
  KeystreamLoad(send, key);
  KeystreamLoad(receive, key);
  std::vector<uint8_t> payload(n, 0x61), packet(n + kSealOverhead), out(n);
  for (auto _ : state) {
    SealPacket(send, packet.data(), payload.data(), n);
    if (OpenPacket(receive, out.data(), out.size(), packet.data(), packet.size()) != n) state.SkipWithError("open");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockBytes));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_SealAndOpen328);

// Arguments: file size, adaptive sender, adaptive receiver.
void BM_TransferLoopback(benchmark::State& state) {
  RunTransfers(state, static_cast<uint64_t>(state.range(0)), nullptr, Window(state.range(1)), Window(state.range(2)));
}
BENCHMARK(BM_TransferLoopback)
    ->ArgNames({"bytes", "adaptive_sender", "adaptive_receiver"})
    ->Args({8 << 20, 0, 0})
    ->Args({32 << 20, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(2);

// 10 Mbit/s, 25 ms each way, 0.5 % loss.
void BM_TransferRelay(benchmark::State& state) {
  LinkSettings link;
  link.rate = 10e6 / 8;
  link.delay = std::chrono::milliseconds(25);
  link.loss = 0.005;
  RunTransfers(state, static_cast<uint64_t>(state.range(0)), &link, Window(state.range(1)), Window(state.range(2)));
}
BENCHMARK(BM_TransferRelay)
    ->ArgNames({"bytes", "adaptive_sender", "adaptive_receiver"})
    ->Args({512 << 10, 0, 0})
    ->Args({16 << 20, 1, 1})
    ->Args({2 << 20, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace orv
