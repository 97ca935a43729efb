// One file transfer engine whose time passes only through TransferTick,
// talking to a capturing sender, with a download folder and a folder of
// files to send.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "transfer_fakes.hpp"

namespace orv::test {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(In());
    std::filesystem::create_directory(Out());
    settings.FileTransferPath = In();
    MakeEngine();
  }
  void MakeEngine(TransferWindow window = {}) {
    engine.reset();
    TransferServices s;
    s.sender = &sender;
    s.events = &events;
    s.downloads = &downloads;
    s.contacts = &contacts;
    s.clock = &clock;
    s.settings = [this] {
      std::lock_guard<std::mutex> g(settings_lock);
      return settings;
    };
    s.peer_name = [](const PeerRef&) { return std::u16string(u"Bob"); };
    FileTransferConfig config;
    config.transfer_thread = false;
    config.window = window;
    engine = std::make_unique<FileTransferEngine>(s, config);
  }

  std::string In() const { return dir / "in"; }
  std::string Out() const { return dir / "out"; }
  void SetAutoReceive(bool on) {
    std::lock_guard<std::mutex> g(settings_lock);
    settings.AutoReceiveFiles = on;
  }

  void Receive(const std::vector<uint8_t>& m, bool accept_any = true) {
    engine->HandleFileMessage(m.data(), m.size(), peer, accept_any);
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) engine->TransferTick();
  }
  uint8_t State(uint32_t handle) {
    auto v = engine->ViewTransfer(handle);
    return v ? v->state : 0xff;
  }
  uint32_t LastAdded() {
    uint32_t handle = 0;
    for (const auto& e : events.Events())
      if (e.kind == "added") handle = e.view.handle;
    return handle;
  }

  // The receiving side: a request from the peer; the new transfer's handle.
  uint32_t Offered(uint32_t id, uint64_t size, const std::u16string& name = u"report.txt") {
    Receive(Request(id, size, name));
    return LastAdded();
  }
  // The sending side: offers a file with `contents`; the identifier it drew
  // in `id`.
  uint32_t Offer(const std::string& contents, uint32_t& id, const std::string& name = "data.bin") {
    const std::string path = Out() + "/" + name;
    WriteWholeFile(path, contents);
    const TransferStart start = engine->StartFileTransfer(peer, path);
    EXPECT_EQ(start.error, StartError::kNone);
    const auto sent = sender.Take();
    EXPECT_EQ(sent.size(), 1u);
    id = sent.empty() ? 0 : sent[0].id();
    return start.handle;
  }
  std::set<uint8_t> SentCodes() {
    std::set<uint8_t> codes;
    for (const auto& p : sender.Take()) codes.insert(p.code());
    return codes;
  }

  LogCapture log;
  TempDir dir;
  CapturingSender sender;
  RecordingEvents events;
  RecordingDownloads downloads;
  FakeContacts contacts;
  ManualClock clock;
  std::mutex settings_lock;
  TransferSettings settings;
  PeerRef peer = PeerWith(0x11111111);
  std::unique_ptr<FileTransferEngine> engine;
};

}  // namespace orv::test
