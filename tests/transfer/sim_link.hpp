// Two file transfer engines joined by a simulated link whose time passes in
// steps of 5 ms (a transfer tick every 10 steps): a delay, random loss, a
// bottleneck of so many messages per step with a bounded queue, and
// reordering. Like the network layer, each direction drops a message older
// than one it has already delivered. Deterministic for a given seed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "transfer_fakes.hpp"

namespace orv::test {

struct LinkConditions {
  double loss = 0;             // chance a message is lost
  double reorder = 0;          // chance a message is held back 1 to 3 extra steps
  uint32_t delay_steps = 5;    // one way: 25 ms
  double per_step = 0;         // bottleneck messages per step; 0: none
  uint32_t queue_steps = 20;   // the bottleneck's queue holds this many steps of messages
};

constexpr uint64_t kStep100ns = 50'000;  // 5 ms
constexpr uint32_t kStepsPerTick = 10;

// One direction of the link.
class LinkDirection {
 public:
  explicit LinkDirection(unsigned seed) : random_(seed) {}
  LinkConditions conditions;

  void Push(const uint8_t* data, size_t length, uint64_t step) {
    ++sent_;
    double depart = static_cast<double>(step);
    if (conditions.per_step > 0) {
      depart = std::max(depart, busy_until_);
      if (depart - static_cast<double>(step) > conditions.queue_steps) return;  // queue full
      busy_until_ = depart + 1.0 / conditions.per_step;
    }
    if (Chance(conditions.loss)) return;
    uint64_t due = static_cast<uint64_t>(depart) + conditions.delay_steps;
    if (Chance(conditions.reorder)) due += 1 + random_() % 3;
    pending_.emplace(std::make_pair(due, ++sequence_), std::vector<uint8_t>(data, data + length));
  }
  // The messages due at `step`, in order; overtaken ones are dropped.
  std::vector<std::vector<uint8_t>> Due(uint64_t step) {
    std::vector<std::vector<uint8_t>> out;
    while (!pending_.empty() && pending_.begin()->first.first <= step) {
      auto node = pending_.extract(pending_.begin());
      if (node.key().second < delivered_) continue;
      delivered_ = node.key().second;
      out.push_back(std::move(node.mapped()));
    }
    return out;
  }
  uint64_t Sent() const { return sent_; }

 private:
  bool Chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < p; }
  std::mt19937 random_;
  std::map<std::pair<uint64_t, uint64_t>, std::vector<uint8_t>> pending_;
  uint64_t sequence_ = 0;
  uint64_t delivered_ = 0;
  uint64_t sent_ = 0;
  double busy_until_ = 0;
};

class LinkSender : public PayloadSender {
 public:
  LinkSender(LinkDirection& direction, const uint64_t& step) : direction_(direction), step_(step) {}
  int32_t SendPayload(PeerRef&, uint32_t, const uint8_t* data, uint32_t length) override {
    direction_.Push(data, length, step_);
    return static_cast<int32_t>(length);
  }

 private:
  LinkDirection& direction_;
  const uint64_t& step_;
};

// A sends, B receives and accepts at once into its download folder.
class SimLink {
 public:
  SimLink(TransferWindow sender_window, TransferWindow receiver_window, unsigned seed = 7)
      : to_b(seed), to_a(seed + 1), a_sender_(to_b, step_), b_sender_(to_a, step_) {
    std::filesystem::create_directory(In());
    a_ = MakeEngine(a_sender_, sender_window, false);
    b_ = MakeEngine(b_sender_, receiver_window, true);
  }
  void SetConditions(const LinkConditions& c) { to_b.conditions = to_a.conditions = c; }

  uint32_t Send(const std::string& contents) {
    const std::string path = dir_ / "data.bin";
    WriteWholeFile(path, contents);
    return a_->StartFileTransfer(PeerWith(kB), path).handle;
  }
  void Step() {
    ++step_;
    clock_.now += kStep100ns;
    for (auto& m : to_b.Due(step_)) b_->HandleFileMessage(m.data(), m.size(), PeerWith(kA), true);
    for (auto& m : to_a.Due(step_)) a_->HandleFileMessage(m.data(), m.size(), PeerWith(kB), true);
    if (step_ % kStepsPerTick == 0) {
      a_->TransferTick();
      b_->TransferTick();
    }
  }
  void Ticks(uint32_t n) {
    for (uint32_t i = 0; i < n * kStepsPerTick; ++i) Step();
  }
  // Runs until both sides have ended or `max_ticks` passed; the ticks taken.
  uint32_t RunToEnd(uint32_t handle, uint32_t max_ticks) {
    for (uint32_t t = 0; t < max_ticks; ++t) {
      if (Ended(*a_, handle) && Received()) return t;
      Ticks(1);
    }
    return max_ticks;
  }
  TransferView SenderView(uint32_t handle) { return a_->ViewTransfer(handle).value_or(TransferView{}); }
  bool Received() {
    const auto list = b_->ListTransfers();
    return !list.empty() && list.back().state == kTransferComplete;
  }
  std::string ReceivedFile() { return ReadWholeFile(In() + "/data.bin"); }

  LinkDirection to_b, to_a;

 private:
  static constexpr uint32_t kA = 0xA, kB = 0xB;
  std::string In() const { return dir_ / "in"; }
  static bool Ended(FileTransferEngine& e, uint32_t handle) {
    const auto v = e.ViewTransfer(handle);
    return v && IsEnded(v->state);
  }
  std::unique_ptr<FileTransferEngine> MakeEngine(PayloadSender& sender, TransferWindow window, bool receiving) {
    TransferServices s;
    s.sender = &sender;
    s.clock = &clock_;
    if (receiving) {
      const std::string folder = In();
      s.settings = [folder] {
        TransferSettings t;
        t.AutoReceiveFiles = true;
        t.FileTransferPath = folder;
        return t;
      };
    }
    FileTransferConfig config;
    config.transfer_thread = false;
    config.window = window;
    return std::make_unique<FileTransferEngine>(s, config);
  }

  LogCapture log_;
  TempDir dir_;
  ManualClock clock_;
  uint64_t step_ = 0;
  LinkSender a_sender_, b_sender_;
  std::unique_ptr<FileTransferEngine> a_, b_;
};

}  // namespace orv::test
