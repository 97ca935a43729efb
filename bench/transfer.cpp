// File transfer throughput between two nodes: directly on loopback, and
// through a relay that delays every datagram by 25 ms each way (a 50 ms
// round trip, where a window of 10 blocks of 316 bytes allows about
// 63 KB/s). The engines run their own 50 ms ticks; the hosts keep no log.
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
#include <thread>
#include <vector>

#include "net/endpoint.hpp"
#include "net/payload_sender.hpp"
#include "support/test_identity.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {
namespace {

constexpr uint32_t kLoopback = 0x7f000001;
using Clock = std::chrono::steady_clock;

class QuietHost : public NetworkHost {
 public:
  explicit QuietHost(const test::TestIdentity& id) : id_(id) {}
  void LogEvent(std::string_view, std::string_view) override {}
  bool LogFileOpen() override { return false; }
  void TracePacket(PacketDirection, uint32_t, uint16_t, const uint32_t*, uint32_t, int32_t) override {}
  void TraceData(PacketDirection, const uint32_t*) override {}
  void TraceAddressUpdate(std::string_view) override {}
  void ShowMessage(std::string_view, std::string_view) override {}
  size_t GetPassword(PasswordBytes& password) override {
    if (refuse.load()) return 0;
    password.Assign(id_.password);
    return password.size();
  }
  void CopyKey(KeyRecord& out) override { out = id_.record; }
  void UserFound(const uint32_t*) override {}
  std::atomic<bool> refuse{false};

 private:
  const test::TestIdentity& id_;
};

struct BenchNode {
  BenchNode(const test::TestIdentity& identity, const std::string& folder) : host(identity) {
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
    engine = std::make_unique<FileTransferEngine>(services);
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

  QuietHost host;
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

// Passes every datagram between A and B after `delay`, in order. A sends
// to port_for_a() and B to port_for_b().
class DelayRelay {
 public:
  DelayRelay(uint16_t a_port, uint16_t b_port, std::chrono::milliseconds delay)
      : a_port_(a_port), b_port_(b_port), delay_(delay), thread_([this] { Run(); }) {}
  ~DelayRelay() {
    stop_.store(true);
    thread_.join();
  }
  uint16_t port_for_a() const { return facing_a_.Port(); }
  uint16_t port_for_b() const { return facing_b_.Port(); }

 private:
  struct Pending {
    Clock::time_point due;
    bool to_b;
    std::vector<uint8_t> bytes;
  };
  void Take(const Socket& from, bool to_b) {
    std::vector<uint8_t> buffer(65536);
    const ssize_t n = ::recv(from.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n <= 0) return;
    buffer.resize(static_cast<size_t>(n));
    queue_.push_back({Clock::now() + delay_, to_b, std::move(buffer)});
  }
  void SendDue() {
    const auto now = Clock::now();
    while (!queue_.empty() && queue_.front().due <= now) {
      const Pending& p = queue_.front();
      if (p.to_b) facing_b_.SendTo(b_port_, p.bytes);
      else facing_a_.SendTo(a_port_, p.bytes);
      queue_.pop_front();
    }
  }
  void Run() {
    pollfd p[2] = {{facing_a_.fd, POLLIN, 0}, {facing_b_.fd, POLLIN, 0}};
    while (!stop_.load()) {
      int wait_ms = 5;
      if (!queue_.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(queue_.front().due - Clock::now());
        wait_ms = static_cast<int>(std::clamp<int64_t>(left.count(), 0, 5));
      }
      if (::poll(p, 2, wait_ms) > 0) {
        if (p[0].revents & POLLIN) Take(facing_a_, true);
        if (p[1].revents & POLLIN) Take(facing_b_, false);
      }
      SendDue();
    }
  }

  uint16_t a_port_, b_port_;
  std::chrono::milliseconds delay_;
  Socket facing_a_, facing_b_;
  std::deque<Pending> queue_;
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

// Sends files of `size` bytes from A to B, which B knows at `a_for_b` and
// A knows B at `b_for_a`, one per iteration; time from the offer until both
// sides are complete.
void RunTransfers(benchmark::State& state, uint64_t size, std::chrono::milliseconds one_way) {
  Folder folder;
  {
    std::ofstream out(folder.path + "/file.bin", std::ios::binary);
    std::string block(1 << 16, '\x5a');
    for (uint64_t done = 0; done < size; done += block.size())
      out.write(block.data(), static_cast<std::streamsize>(std::min<uint64_t>(block.size(), size - done)));
  }
  BenchNode a(test::Alice(), folder.path + "/in");
  BenchNode b(test::Bob(), folder.path + "/in");
  std::unique_ptr<DelayRelay> relay;
  uint16_t b_port = b.Port();
  if (one_way.count() > 0) {
    relay = std::make_unique<DelayRelay>(a.Port(), b.Port(), one_way);
    b_port = relay->port_for_a();
  }
  const PeerRef b_for_a = b.RefAt(b_port);
  // A session first (its handshake is not measured).
  PeerRef warm_up = b_for_a;
  a.engine->SendFileControl(warm_up, 1, kFileCancelDone);
  if (!WaitUntil([&] { return a.Connected(b.endpoint->own_id) && b.Connected(a.endpoint->own_id); },
                 std::chrono::seconds(120))) {
    state.SkipWithError("no session");
    return;
  }
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
}

void BM_TransferLoopback(benchmark::State& state) {
  RunTransfers(state, static_cast<uint64_t>(state.range(0)), std::chrono::milliseconds(0));
}
BENCHMARK(BM_TransferLoopback)->Arg(4 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_TransferRoundTrip50ms(benchmark::State& state) {
  RunTransfers(state, static_cast<uint64_t>(state.range(0)), std::chrono::milliseconds(25));
}
BENCHMARK(BM_TransferRoundTrip50ms)->Arg(256 << 10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace orv
