// Complete nodes on 127.0.0.1 inside one test process: a recording host,
// recording consumers, an endpoint on a port the system picks, and a relay
// that stands between two nodes to drop, hold, duplicate or rewrite chosen
// datagrams. Time is driven by calling RetryTick; only real delivery is
// waited for, with a bounded poll.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "crypto/byte_order.hpp"
#include "net/call_channel.hpp"
#include "net/consumers.hpp"
#include "net/datagram.hpp"
#include "net/endpoint.hpp"
#include "net/network_host.hpp"
#include "net/peer_table.hpp"
#include "support/test_identity.hpp"

namespace orv::test {

constexpr uint32_t kLoopback = 0x7f000001;
constexpr auto kDeliveryWait = std::chrono::seconds(60);

// Polls `condition` every few milliseconds until it holds or `limit` passes.
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = kDeliveryWait) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

struct TraceRecord {
  PacketDirection direction;
  uint32_t ipv4;
  uint16_t port;
  uint32_t user_id[kUserIdWords];
  uint32_t type;
  int32_t size;
};

class FakeHost : public NetworkHost {
 public:
  explicit FakeHost(const TestIdentity* identity) {
    if (identity) {
      key_ = identity->record;
      password_ = identity->password;
    }
  }

  void LogEvent(std::string_view source, std::string_view text) override {
    std::lock_guard<std::mutex> g(lock_);
    logs_.push_back(std::string(source) + ": " + std::string(text));
  }
  bool LogFileOpen() override { return true; }
  void TracePacket(PacketDirection direction, uint32_t ipv4, uint16_t port, const uint32_t* user_id, uint32_t type,
                   int32_t size) override {
    TraceRecord r{direction, ipv4, port, {}, type, size};
    std::memcpy(r.user_id, user_id, sizeof r.user_id);
    std::lock_guard<std::mutex> g(lock_);
    traces_.push_back(r);
  }
  void TraceData(PacketDirection direction, const uint32_t* words) override {
    std::lock_guard<std::mutex> g(lock_);
    data_traces_.push_back({direction == PacketDirection::kSent ? 0u : 1u, words[0], words[1]});
  }
  void TraceAddressUpdate(std::string_view text) override {
    std::lock_guard<std::mutex> g(lock_);
    address_lines_.emplace_back(text);
  }
  void ShowMessage(std::string_view title, std::string_view text) override {
    std::lock_guard<std::mutex> g(lock_);
    messages_.push_back(std::string(title) + ": " + std::string(text));
  }
  bool GetPassword(PasswordBytes& password) override {
    password_requests_.fetch_add(1);
    {
      // A prompt that stays open: handshake workers wait here until released.
      std::unique_lock<std::mutex> g(lock_);
      if (prompt_open_ && std::this_thread::get_id() != prompt_owner_) {
        ++waiting_prompts_;
        prompt_closed_.wait(g, [this] { return !prompt_open_; });
        --waiting_prompts_;
      }
    }
    if (refuse_password_.load()) return false;
    std::lock_guard<std::mutex> g(lock_);
    password.Assign(password_);
    return !password.empty();
  }
  void CopyKey(KeyRecord& out) override {
    std::lock_guard<std::mutex> g(lock_);
    out = key_;
  }
  void UserFound(const uint32_t* user_id) override {
    std::lock_guard<std::mutex> g(lock_);
    found_.emplace_back(user_id, user_id + kUserIdWords);
  }
  void ConnectEnded(const ConnectOutcome& outcome) override {
    std::lock_guard<std::mutex> g(lock_);
    connects_.push_back(outcome);
  }
  std::vector<ConnectOutcome> Connects() {
    std::lock_guard<std::mutex> g(lock_);
    return connects_;
  }

  void RefusePassword(bool refuse) { refuse_password_.store(refuse); }
  // Another key loaded (as the settings do); RestartNetwork takes it up.
  void UseIdentity(const TestIdentity& identity) {
    std::lock_guard<std::mutex> g(lock_);
    key_ = identity.record;
    password_ = identity.password;
  }
  // While the prompt is open, every thread but the calling one that asks
  // for the password waits until CloseSlowPrompt.
  void OpenSlowPrompt() {
    std::lock_guard<std::mutex> g(lock_);
    prompt_open_ = true;
    prompt_owner_ = std::this_thread::get_id();
  }
  void CloseSlowPrompt() {
    std::lock_guard<std::mutex> g(lock_);
    prompt_open_ = false;
    prompt_closed_.notify_all();
  }
  size_t WaitingPrompts() {
    std::lock_guard<std::mutex> g(lock_);
    return waiting_prompts_;
  }
  size_t PasswordRequests() const { return password_requests_.load(); }

  std::vector<std::string> Logs() {
    std::lock_guard<std::mutex> g(lock_);
    return logs_;
  }
  size_t CountLogs(const std::string& part) {
    size_t n = 0;
    for (const std::string& line : Logs()) n += line.find(part) != std::string::npos;
    return n;
  }
  bool WaitForLog(const std::string& part, size_t count = 1) {
    return WaitFor([&] { return CountLogs(part) >= count; });
  }
  std::vector<TraceRecord> Traces() {
    std::lock_guard<std::mutex> g(lock_);
    return traces_;
  }
  size_t CountTraces(PacketDirection direction, uint32_t type) {
    size_t n = 0;
    for (const TraceRecord& r : Traces()) n += r.direction == direction && r.type == type;
    return n;
  }
  std::vector<std::array<uint32_t, 3>> DataTraces() {
    std::lock_guard<std::mutex> g(lock_);
    return data_traces_;
  }
  std::vector<std::string> AddressLines() {
    std::lock_guard<std::mutex> g(lock_);
    return address_lines_;
  }
  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> g(lock_);
    return messages_;
  }
  std::vector<std::vector<uint32_t>> Found() {
    std::lock_guard<std::mutex> g(lock_);
    return found_;
  }

 private:
  KeyRecord key_;
  std::string password_;
  std::atomic<bool> refuse_password_{false};
  std::atomic<size_t> password_requests_{0};
  std::mutex lock_;
  std::condition_variable prompt_closed_;
  bool prompt_open_ = false;
  std::thread::id prompt_owner_;
  size_t waiting_prompts_ = 0;
  std::vector<std::string> logs_;
  std::vector<ConnectOutcome> connects_;
  std::vector<TraceRecord> traces_;
  std::vector<std::array<uint32_t, 3>> data_traces_;
  std::vector<std::string> address_lines_;
  std::vector<std::string> messages_;
  std::vector<std::vector<uint32_t>> found_;
};

// A payload as a consumer received it.
struct Delivery {
  std::string kind;  // "dht", "transfer", "request", "open", "chat", "voice", "call"
  std::vector<uint8_t> data;
  PeerRef sender;
  uint32_t code = 0;
};

// Every consumer the endpoint knows, recording what reaches it. Inner type
// 1 payloads land in one conversation (by UserId, or opened by address when
// `by_address` is set) when `has_conversation` is set.
class RecordingConsumers : public DhtNodeObserver,
                           public ContactObserver,
                           public DhtMessageConsumer,
                           public TransferMessageConsumer,
                           public ConversationTable,
                           public ChannelHandlers {
 public:
  RecordingConsumers() { channel->handlers = this; }

  NetworkConsumers Set() {
    NetworkConsumers set;
    set.dht_nodes = this;
    set.contacts = this;
    set.dht_messages = this;
    set.transfers = this;
    set.conversations = this;
    return set;
  }

  void NoteDhtNode(const PeerRef&) override { noted.fetch_add(1); }
  void DropDhtNode(const PeerRef& node) override { Record("drop", nullptr, 0, node); }
  void NoteNode(const PeerRef& node) override { Record("note", nullptr, 0, node); }
  void ForgetNode(const PeerRef& node) override { Record("forget", nullptr, 0, node); }
  void HandleDhtMessage(const uint8_t* data, size_t length, const PeerRef& sender) override {
    Record("dht", data, length, sender);
  }
  void HandleTransferMessage(const uint8_t* data, size_t length, const PeerRef& sender) override {
    Record("transfer", data, length, sender);
  }
  ConversationMatch FindConversation(const PeerRef& sender) override {
    ConversationMatch m;
    std::lock_guard<std::mutex> g(lock_);
    if (!has_conversation) return m;
    const bool zero = IsZeroUserId(conversation_id);
    if (!zero && !SameUserId(conversation_id, sender.user_id)) return m;
    if (zero) CopyUserId(conversation_id, sender.user_id);
    m.found = true;
    m.adopted = zero;
    m.channel = channel;
    return m;
  }
  void RequestConnection(const PeerRef& sender) override { Record("request", nullptr, 0, sender); }
  void OpenConversation(const PeerRef& sender) override { Record("open", nullptr, 0, sender); }
  void HandleChatMessage(CallChannel&, const uint8_t* data, size_t length) override {
    Record("chat", data, length, {}, LoadLe32(data));
  }
  void QueueVoiceFrame(CallChannel&, const uint8_t* data, size_t length) override {
    Record("voice", data, length, {}, LoadLe32(data));
  }
  void HandleCallMessage(CallChannel&, uint32_t code) override { Record("call", nullptr, 0, {}, code); }

  void OpenConversationWith(const uint32_t* user_id) {
    std::lock_guard<std::mutex> g(lock_);
    has_conversation = true;
    if (user_id) CopyUserId(conversation_id, user_id);
    else std::memset(conversation_id, 0, sizeof conversation_id);
  }

  std::vector<Delivery> Deliveries() {
    std::lock_guard<std::mutex> g(lock_);
    return deliveries_;
  }
  size_t Count(const std::string& kind) {
    size_t n = 0;
    for (const Delivery& d : Deliveries()) n += d.kind == kind;
    return n;
  }
  bool WaitForCount(const std::string& kind, size_t n) {
    return WaitFor([&] { return Count(kind) >= n; });
  }

  std::shared_ptr<CallChannel> channel = std::make_shared<CallChannel>();
  std::atomic<uint32_t> noted{0};

 private:
  void Record(const char* kind, const uint8_t* data, size_t length, const PeerRef& sender, uint32_t code = 0) {
    Delivery d;
    d.kind = kind;
    if (data) d.data.assign(data, data + length);
    d.sender = sender;
    d.code = code;
    std::lock_guard<std::mutex> g(lock_);
    deliveries_.push_back(std::move(d));
  }

  std::mutex lock_;
  bool has_conversation = false;
  uint32_t conversation_id[kUserIdWords] = {};
  std::vector<Delivery> deliveries_;
};

// One complete node: host, consumers and an enabled endpoint on 127.0.0.1.
// A UserId nobody has: hand-made datagrams from a stranger.
inline constexpr uint32_t kStranger[kUserIdWords] = {0x5717A46E, 1, 2, 3, 4, 5, 6, 7};

// An endpoint on 127.0.0.1 at a port the system picks, without a retry
// thread (tests tick).
inline std::unique_ptr<NetworkEndpoint> OpenLoopbackEndpoint(NetworkHost& host, const NetworkConsumers& consumers = {}) {
  EndpointConfig config;
  config.local_port = 0;
  config.bind_ipv4 = kLoopback;
  config.retry_thread = false;
  return OpenEndpoint(host, config, consumers);
}

// The retry thread does not run: tests tick.
class Node {
 public:
  explicit Node(const TestIdentity& identity, bool enable = true) : host(&identity) {
    endpoint = OpenLoopbackEndpoint(host, consumers.Set());
    if (enable) Enable();
  }
  ~Node() {
    if (endpoint) CloseEndpoint(*endpoint);
  }

  // RestartNetwork with the prompt refused, so that the session request
  // built at opening stays (building another costs exponentiations).
  void Enable() {
    host.RefusePassword(true);
    RestartNetwork(*endpoint);
    host.RefusePassword(false);
  }

  const uint32_t* id() const {
    id_ = endpoint->own_id.Get();
    return id_.data();
  }
  uint16_t port() const { return EndpointPort(*endpoint); }
  // How others reach this node directly.
  PeerRef Ref() const { return RefAt(port()); }
  PeerRef RefAt(uint16_t at) const {
    PeerRef ref;
    CopyUserId(ref.user_id, id());
    ref.ipv4 = kLoopback;
    ref.port = at;
    return ref;
  }

  int32_t Send(PeerRef target, uint32_t inner_type, const std::vector<uint8_t>& data) {
    SendRequest request;
    request.target = &target;
    request.inner_type = inner_type;
    request.data = data.data();
    request.length = static_cast<uint32_t>(data.size());
    return SendToPeer(*endpoint, request);
  }

  std::optional<PeerStatus> Status(const uint32_t* peer) { return GetPeerStatus(*endpoint, peer); }
  bool Connected(const uint32_t* peer) {
    auto s = Status(peer);
    return s && s->connected;
  }
  int32_t State(const uint32_t* peer) {
    auto s = Status(peer);
    return s ? s->state : -2;
  }
  bool WaitConnected(const uint32_t* peer) {
    return WaitFor([&] { return Connected(peer); });
  }
  // Waits until no handshake worker or warning box of this node runs.
  bool WaitIdle() {
    return WaitFor([&] { return endpoint->workers.Running() == 0; });
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) RetryTick(*endpoint);
  }

  FakeHost host;
  RecordingConsumers consumers;
  std::unique_ptr<NetworkEndpoint> endpoint;

 private:
  mutable OwnUserId::Words id_{};  // what id() points into
};

// `a` calls `b` (a ping goes first) and both hold the session, with no
// handshake worker left running.
inline bool ConnectNodes(Node& a, Node& b) {
  a.Send(b.Ref(), 1, {5, 0, 0, 0});
  return a.WaitConnected(b.id()) && b.WaitConnected(a.id()) && a.WaitIdle() && b.WaitIdle();
}

// A plain UDP socket on 127.0.0.1 for hand-made datagrams.
class RawSocket {
 public:
  RawSocket() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(kLoopback);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  ~RawSocket() { ::close(fd_); }
  RawSocket(const RawSocket&) = delete;
  RawSocket& operator=(const RawSocket&) = delete;

  uint16_t port() const {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
  }
  void SendTo(uint16_t port, const std::vector<uint8_t>& bytes) const {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(kLoopback);
    a.sin_port = htons(port);
    ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  // The next datagram within `ms`, or nothing.
  std::optional<std::vector<uint8_t>> Receive(int ms) const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return std::nullopt;
    std::vector<uint8_t> buffer(65536);
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<size_t>(n));
    return buffer;
  }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// A datagram: header with `user_id` and `type_word`, then `body`.
inline std::vector<uint8_t> MakeDatagram(const uint32_t* user_id, uint32_t type_word,
                                         const std::vector<uint8_t>& body = {}) {
  std::vector<uint8_t> d(kHeaderBytes);
  WriteHeader(d.data(), user_id, type_word);
  d.insert(d.end(), body.begin(), body.end());
  return d;
}

inline uint32_t DatagramTypeOf(const std::vector<uint8_t>& d) {
  return d.size() >= kHeaderBytes ? TypeOf(LoadLe32(d.data() + kUserIdBytes)) : 0xff;
}

// Stands between node A and node B. A sends to `port_for_a()` and the relay
// passes it on to B from `port_for_b()`, and the other way round; so A
// knows B at port_for_a() and B knows A at port_for_b(). The filter sees
// each datagram (and may rewrite it) and says what happens to it.
class Relay {
 public:
  enum class Side { kFromA, kFromB };
  enum class Verdict { kPass, kDrop, kDuplicate, kHold };
  using Filter = std::function<Verdict(Side, std::vector<uint8_t>&)>;

  Relay(uint16_t a_port, uint16_t b_port) : a_port_(a_port), b_port_(b_port) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Relay() {
    stop_.store(true);
    thread_.join();
  }

  uint16_t port_for_a() const { return facing_a_.port(); }
  uint16_t port_for_b() const { return facing_b_.port(); }

  void SetFilter(Filter filter) {
    std::lock_guard<std::mutex> g(lock_);
    filter_ = std::move(filter);
  }
  // Sends every held datagram on, in the order held, and passes from now on.
  void Release() {
    std::lock_guard<std::mutex> g(lock_);
    for (auto& [side, bytes] : held_) Forward(side, bytes);
    held_.clear();
  }
  size_t Held() {
    std::lock_guard<std::mutex> g(lock_);
    return held_.size();
  }
  // Waits (at most two seconds) until nothing has come through for `quiet`:
  // what an earlier test left on the way has landed.
  void WaitQuiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(100)) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end) {
      const auto last = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(last_take_.load()));
      if (std::chrono::steady_clock::now() - last >= quiet) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

 private:
  void Forward(Side side, const std::vector<uint8_t>& bytes) {
    if (side == Side::kFromA) facing_b_.SendTo(b_port_, bytes);
    else facing_a_.SendTo(a_port_, bytes);
  }
  void Take(Side side, std::vector<uint8_t> bytes) {
    last_take_.store(std::chrono::steady_clock::now().time_since_epoch().count());
    std::lock_guard<std::mutex> g(lock_);
    const Verdict v = filter_ ? filter_(side, bytes) : Verdict::kPass;
    switch (v) {
      case Verdict::kPass: Forward(side, bytes); break;
      case Verdict::kDuplicate: Forward(side, bytes); Forward(side, bytes); break;
      case Verdict::kHold: held_.emplace_back(side, std::move(bytes)); break;
      case Verdict::kDrop: break;
    }
  }
  void Run() {
    pollfd p[2] = {{facing_a_.fd(), POLLIN, 0}, {facing_b_.fd(), POLLIN, 0}};
    while (!stop_.load()) {
      if (::poll(p, 2, 20) <= 0) continue;
      if (p[0].revents & POLLIN)
        if (auto d = facing_a_.Receive(0)) Take(Side::kFromA, std::move(*d));
      if (p[1].revents & POLLIN)
        if (auto d = facing_b_.Receive(0)) Take(Side::kFromB, std::move(*d));
    }
  }

  uint16_t a_port_, b_port_;
  RawSocket facing_a_, facing_b_;
  std::mutex lock_;
  Filter filter_;
  std::vector<std::pair<Side, std::vector<uint8_t>>> held_;
  std::atomic<std::chrono::steady_clock::rep> last_take_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace orv::test

namespace orv::test {

// Two nodes that reach each other only through a relay: A knows B at
// relay.port_for_a(), B knows A at relay.port_for_b().
struct RelayedPair {
  RelayedPair(const TestIdentity& x, const TestIdentity& y) : a(x), b(y), relay(a.port(), b.port()) {}
  PeerRef BForA() const { return b.RefAt(relay.port_for_a()); }
  PeerRef AForB() const { return a.RefAt(relay.port_for_b()); }

  Node a;
  Node b;
  Relay relay;
};

// A filter that drops the `nth` (from 1) datagram of `type` going `side`,
// and counts how many of that type went by.
struct DropNth {
  Relay::Side side;
  uint32_t type;
  int nth;
  std::shared_ptr<std::atomic<int>> seen = std::make_shared<std::atomic<int>>(0);
  Relay::Verdict operator()(Relay::Side s, std::vector<uint8_t>& d) const {
    if (s != side || DatagramTypeOf(d) != type) return Relay::Verdict::kPass;
    return seen->fetch_add(1) + 1 == nth ? Relay::Verdict::kDrop : Relay::Verdict::kPass;
  }
};

}  // namespace orv::test
