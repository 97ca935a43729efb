// Two complete nodes on 127.0.0.1 with a relay between them, each running a
// file transfer engine over its endpoint. The nodes and their session are
// made once per test suite (a handshake costs seconds under the
// sanitizers); each test gets fresh engines and folders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "net/net_fixture.hpp"
#include "support/temp_dir.hpp"
#include "transfer_fakes.hpp"

namespace orv::test {

struct TransferSide {
  TransferSide(Node& n, const std::string& folder, bool thread, const TransferWindow& window = {})
      : node(n), sender(*n.endpoint) {
    settings.FileTransferPath = folder;
    TransferServices s;
    s.sender = &sender;
    s.events = &events;
    s.downloads = &downloads;
    s.settings = [this] {
      std::lock_guard<std::mutex> g(lock);
      return settings;
    };
    s.peer_name = [this](const PeerRef& p) { return GetPeerName(*node.endpoint, p.user_id); };
    FileTransferConfig config;
    config.transfer_thread = thread;
    config.window = window;
    engine = std::make_unique<FileTransferEngine>(s, config);
    NetworkConsumers set = node.consumers.Set();
    set.transfers = engine.get();
    SetNetworkConsumers(*node.endpoint, set);
  }
  ~TransferSide() {
    // Out of the endpoint's hands before it goes.
    SetNetworkConsumers(*node.endpoint, node.consumers.Set());
    engine.reset();
  }
  void SetAutoReceive(bool on) {
    std::lock_guard<std::mutex> g(lock);
    settings.AutoReceiveFiles = on;
  }
  uint8_t State(uint32_t handle) {
    auto v = engine->ViewTransfer(handle);
    return v ? v->state : 0xff;
  }
  bool WaitState(uint32_t handle, uint8_t state) {
    return WaitFor([&] { return State(handle) == state; });
  }
  // The handle of the first transfer this side knows, once there is one.
  uint32_t WaitFirst() {
    uint32_t handle = 0;
    WaitFor([&] {
      auto list = engine->ListTransfers();
      if (!list.empty()) handle = list[0].handle;
      return handle != 0;
    });
    return handle;
  }
  void Tick(int n) {
    for (int i = 0; i < n; ++i) engine->TransferTick();
  }

  Node& node;
  EndpointPayloadSender sender;
  RecordingEvents events;
  RecordingDownloads downloads;
  std::mutex lock;
  TransferSettings settings;
  std::unique_ptr<FileTransferEngine> engine;
};

// Counts the sealed datagrams Alice sends through the relay; from the
// `cut_after`-th on they are dropped while `cut` is set. Bob's sealed
// datagrams are dropped while `cut_b` is set.
struct SealedCounter {
  std::shared_ptr<std::atomic<int>> from_a = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<std::atomic<bool>> cut = std::make_shared<std::atomic<bool>>(true);
  std::shared_ptr<std::atomic<bool>> cut_b = std::make_shared<std::atomic<bool>>(false);
  int cut_after = 0;
  Relay::Verdict operator()(Relay::Side side, std::vector<uint8_t>& d) const {
    if (DatagramTypeOf(d) != 0) return Relay::Verdict::kPass;
    if (side == Relay::Side::kFromB) return cut_b->load() ? Relay::Verdict::kDrop : Relay::Verdict::kPass;
    if (from_a->fetch_add(1) + 1 <= cut_after) return Relay::Verdict::kPass;
    return cut->load() ? Relay::Verdict::kDrop : Relay::Verdict::kPass;
  }
};

class NodePairTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pair_ = std::make_unique<RelayedPair>(Alice(), Bob());
    pair_->a.Send(pair_->BForA(), 2, {});
    ASSERT_TRUE(pair_->a.WaitConnected(pair_->b.id()));
    ASSERT_TRUE(pair_->b.WaitConnected(pair_->a.id()));
  }
  static void TearDownTestSuite() { pair_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(pair_);
    std::filesystem::create_directory(dir / "a");
    std::filesystem::create_directory(dir / "b");
    std::filesystem::create_directory(dir / "out");
  }
  void TearDown() override {
    b_.reset();
    a_.reset();
    pair_->relay.SetFilter(nullptr);
  }
  // Alice sends, Bob receives; with `threads` the engines tick themselves.
  void Start(bool threads, const TransferWindow& window = {}) {
    b_.reset();
    a_.reset();
    pair_->relay.WaitQuiet();  // nothing of an earlier transfer is counted
    a_ = std::make_unique<TransferSide>(pair_->a, dir / "a", threads, window);
    b_ = std::make_unique<TransferSide>(pair_->b, dir / "b", threads, window);
    b_->SetAutoReceive(true);
  }
  std::string BFile(const std::string& name) const { return dir / ("b/" + name); }
  std::string OutFile(const std::string& name, const std::string& contents) {
    const std::string path = dir / ("out/" + name);
    std::filesystem::create_directories(FolderOf(path));
    WriteWholeFile(path, contents);
    return path;
  }
  uint32_t Send(const std::string& path) {
    const TransferStart start = a_->engine->StartFileTransfer(pair_->BForA(), path);
    EXPECT_EQ(start.error, StartError::kNone);
    return start.handle;
  }

  static std::unique_ptr<RelayedPair> pair_;
  TempDir dir;
  std::unique_ptr<TransferSide> a_;
  std::unique_ptr<TransferSide> b_;
};

inline std::unique_ptr<RelayedPair> NodePairTest::pair_;

}  // namespace orv::test
