// Conversations of one node with every collaborator faked: payloads sent
// are recorded, the receive thread is played by handing plaintexts to the
// network's dispatch, the interface thread is a ManualDispatcher, and
// ticks are called by the test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/manual_dispatcher.hpp"
#include "chat/chat_message.hpp"
#include "chat/conversations.hpp"
#include "chat_fakes.hpp"
#include "net/dispatch.hpp"

namespace orv::test {

inline PeerRef MakePeer(uint32_t first_word, uint32_t ipv4, uint16_t port) {
  PeerRef ref;
  for (uint32_t i = 0; i < kUserIdWords; ++i) ref.user_id[i] = first_word + i;
  ref.ipv4 = ipv4;
  ref.port = port;
  return ref;
}

inline std::vector<uint8_t> Code(uint32_t code) {
  const auto m = EncodeCallCode(code);
  return {m.begin(), m.end()};
}
inline std::vector<uint8_t> Text(uint32_t sequence, std::u16string_view text) {
  return EncodeChatText(sequence, text);
}
inline std::vector<uint8_t> Ack(uint32_t sequence) {
  const auto m = EncodeChatAck(sequence);
  return {m.begin(), m.end()};
}

class ConversationTest : public ::testing::Test {
 protected:
  ConversationTest() { network.known = bob; }

  void Make(bool allow_anyone = true) {
    settings.allow_anyone = allow_anyone;
    ConversationServices services;
    services.dispatcher = &dispatcher;
    services.sender = &sender;
    services.events = &events;
    services.network = &network;
    services.contacts = &contacts;
    services.voice = &voice;
    services.log_keys = log_keys;
    services.line_stamp = [] { return std::u16string(u"01/02/25 10:30"); };
    services.clock_ms = [this] { return now_ms; };
    services.start_timer = false;
    conversations = std::make_unique<Conversations>(services, settings);
  }

  // A call channel payload from `from`, as the receive thread hands it on;
  // then the interface thread runs what was posted.
  void Receive(const PeerRef& from, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> plaintext = {1, 0, 0, 0};
    plaintext.insert(plaintext.end(), data.begin(), data.end());
    NetworkConsumers set;
    set.conversations = conversations.get();
    DispatchPayload(set, plaintext.data(), plaintext.size(), from);
    dispatcher.RunPending();
  }
  void FromBob(const std::vector<uint8_t>& data) { Receive(bob, data); }

  ConversationId OpenBob() {
    const ConversationId id = conversations->Open(bob);
    dispatcher.RunPending();
    sender.Take();
    events.Take();
    return id;
  }
  Conversation& Get(ConversationId id) { return *conversations->Get(id); }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      conversations->Tick();
      dispatcher.RunPending();
    }
  }

  PeerRef bob = MakePeer(0xB0B00000, 0x0A000002, 31265);
  PeerRef carol = MakePeer(0xCA000000, 0x0A000003, 31265);
  ManualDispatcher dispatcher;
  RecordingSender sender;
  RecordingEvents events;
  FakeNetwork network;
  FakeContacts contacts;
  RecordingVoiceProvider voice;
  ChatLogKeys* log_keys = nullptr;
  ConversationSettings settings;
  uint32_t now_ms = 0;
  std::unique_ptr<Conversations> conversations;
};

using Codes = std::vector<uint32_t>;
using Events = std::vector<std::string>;

}  // namespace orv::test
