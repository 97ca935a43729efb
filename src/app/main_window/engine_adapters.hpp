// The engines as the main window's controller asks for them: the DHT
// engine locates and pings contacts, the conversations open chats and tell
// whether a call is in voice, the file transfer engine offers files. A
// running program (orv or orvd) hands these to the controller.
#pragma once

#include <string>

#include "app/main_window/main_window_ports.hpp"
#include "chat/call_control.hpp"
#include "chat/conversations.hpp"
#include "dht/dht_engine.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {

class DhtContactLocator final : public ContactLocator {
 public:
  explicit DhtContactLocator(DhtEngine& dht) : dht_(dht) {}
  void PingOrLocate(const PeerRef& contact) override { dht_.PingOrLocate(contact); }
  void LocateUser(const uint32_t* user_id) override { dht_.LocateUser(user_id, nullptr); }

 private:
  DhtEngine& dht_;
};

class ConversationsControl final : public ConversationControl {
 public:
  explicit ConversationsControl(Conversations& conversations) : conversations_(conversations) {}
  void OpenChat(const PeerRef& peer) override { conversations_.Open(peer); }
  bool AnyCallInVoice() override {
    for (const ConversationSummary& c : conversations_.List())
      if (c.call_state == kCallInVoice) return true;
    return false;
  }

 private:
  Conversations& conversations_;
};

class EngineTransferStarter final : public FileTransferStarter {
 public:
  explicit EngineTransferStarter(FileTransferEngine& engine) : engine_(engine) {}
  std::string StartFileTransfer(const PeerRef& peer, const std::string& path) override {
    return std::string(StartErrorText(engine_.StartFileTransfer(peer, path).error));
  }

 private:
  FileTransferEngine& engine_;
};

// A node with nobody at its keyboard never goes away by itself.
class NoIdleTime final : public IdleTimeSource {
 public:
  uint64_t IdleMilliseconds() override { return 0; }
};

}  // namespace orv
