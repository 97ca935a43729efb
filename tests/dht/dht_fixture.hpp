// One engine with recording collaborators: what it sends, the address
// reports it makes, the events it raises; a clock the test sets; passes the
// test runs. Helpers make UserIds at chosen distances and DHT messages.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "crypto/byte_order.hpp"
#include "dht/dht_engine.hpp"

namespace orv::test {
// Each module's fakes live in their own inline namespace: several test
// programs link the fakes of more than one module, whose records share names.
inline namespace dht_fakes {

struct SentMessage {
  PeerRef to;
  std::vector<uint8_t> data;
  uint32_t type() const { return data.size() >= 4 ? LoadLe32(data.data()) : 0; }
};

class RecordingSender : public PayloadSender {
 public:
  int32_t SendPayload(PeerRef& target, uint32_t inner_type, const uint8_t* data, uint32_t length) override {
    EXPECT_EQ(inner_type, 0u);
    // The network layer names a peer it knows at that address.
    if (IsZeroUserId(target.user_id)) {
      for (const PeerRef& known : known_by_address)
        if (SameAddress(known, target)) CopyUserId(target.user_id, known.user_id);
    }
    sent.push_back({target, std::vector<uint8_t>(data, data + length)});
    return static_cast<int32_t>(length);
  }
  size_t Count(uint32_t type) const {
    size_t n = 0;
    for (const SentMessage& m : sent) n += m.type() == type;
    return n;
  }
  std::vector<SentMessage> Of(uint32_t type) const {
    std::vector<SentMessage> out;
    for (const SentMessage& m : sent)
      if (m.type() == type) out.push_back(m);
    return out;
  }

  std::vector<SentMessage> sent;
  std::vector<PeerRef> known_by_address;
};

class FakeDhtNetwork : public DhtNetwork {
 public:
  int PeerPresence(const uint32_t* user_id) override {
    for (const PeerRef& p : sessions)
      if (SameUserId(p.user_id, user_id)) return 1;
    return 0;
  }
  void UpdatePeerAddress(const PeerRef& node) override { updates.push_back(node); }
  std::vector<PeerRef> sessions;
  std::vector<PeerRef> updates;
};

class ManualClock : public DhtClock {
 public:
  uint64_t NowMs() override { return now; }
  uint64_t now = 1000;
};

class RecordingEvents : public DhtEvents {
 public:
  struct Ended {
    std::vector<uint32_t> target;
    bool found;
    PeerRef at;
  };
  void LookupEnded(const uint32_t* target, const PeerRef* found) override {
    ended.push_back({std::vector<uint32_t>(target, target + kUserIdWords), found != nullptr, found ? *found : PeerRef{}});
  }
  void NameFound(const uint32_t* user_id) override { names.emplace_back(user_id, user_id + kUserIdWords); }
  std::vector<Ended> ended;
  std::vector<std::vector<uint32_t>> names;
};

class RecordingContacts : public ContactObserver {
 public:
  void NoteNode(const PeerRef& node) override { noted.push_back(node); }
  void ForgetNode(const PeerRef&) override {}
  std::vector<PeerRef> noted;
};

// The own UserId of the engine under test: word 0 = 0x80000000, rest 0.
inline PeerRef OwnRef() {
  PeerRef own;
  own.user_id[0] = 0x80000000u;
  own.ipv4 = 0x7f000001;
  own.port = 31265;
  return own;
}

// A node whose UserId differs from the own one first in bit `bucket` and
// carries `tag` in its last word, at 10.0.x.y.
inline PeerRef NodeIn(int bucket, uint32_t tag) {
  PeerRef node = OwnRef();
  const size_t word = kUserIdWords - 1 - static_cast<size_t>(bucket) / 32;
  node.user_id[word] ^= 1u << (bucket % 32);
  // Lower bits only, so that the bucket stays the same.
  if (bucket > 0) node.user_id[kUserIdWords - 1] ^= tag & ((bucket >= 32 ? ~0u : (1u << bucket) - 1));
  node.ipv4 = 0x0A000000u | ((static_cast<uint32_t>(bucket) & 0xff) << 8) | (tag & 0xff);
  node.ipv4 |= (tag & 0xff00) << 8;
  node.port = static_cast<uint16_t>(40000 + tag);
  return node;
}

inline PeerRef AddressOnly(uint32_t ipv4, uint16_t port) {
  PeerRef node;
  node.ipv4 = ipv4;
  node.port = port;
  return node;
}

inline std::vector<uint8_t> Bytes(const DhtMessage& m) { return {m.bytes.begin(), m.bytes.begin() + m.length}; }

inline std::vector<uint8_t> NodesReply(uint32_t type, const std::vector<PeerRef>& nodes) {
  return Bytes(NodeListMessage(type, nodes.data(), nodes.size()));
}

inline std::vector<PeerRef> EntriesOf(const SentMessage& m) {
  std::array<PeerRef, kMaxReplyEntries> list;
  size_t count = 0;
  EXPECT_TRUE(ReadNodeList(m.data.data(), m.data.size(), list, count));
  return {list.begin(), list.begin() + static_cast<std::ptrdiff_t>(count)};
}

class DhtFixture : public ::testing::Test {
 protected:
  explicit DhtFixture(std::u16string name = u"") { Make(std::move(name)); }

  void Make(std::u16string name) {
    engine.reset();
    DhtSetup setup;
    setup.own = OwnRef();
    setup.user_info = std::move(name);
    setup.sender = &sender;
    setup.network = &network;
    setup.clock = &clock;
    setup.events = &events;
    engine = std::make_unique<DhtEngine>(setup);
    engine->SetContactObserver(&contacts);
  }

  void Receive(const PeerRef& from, const std::vector<uint8_t>& data) {
    engine->HandleDhtMessage(data.data(), data.size(), from);
  }
  void Pass(int n = 1) {
    for (int i = 0; i < n; ++i) {
      clock.now += 1000;
      engine->DhtPass();
    }
  }
  bool Listed(const PeerRef& node) {
    for (const DhtNodeView& v : engine->ListNodes())
      if (SameNode(v.node.ref, node) && SameAddress(v.node.ref, node)) return true;
    return false;
  }
  size_t Nodes() { return engine->Counts().nodes; }

  RecordingSender sender;
  FakeDhtNetwork network;
  ManualClock clock;
  RecordingEvents events;
  RecordingContacts contacts;
  std::unique_ptr<DhtEngine> engine;
};

}  // namespace dht_fakes
}  // namespace orv::test
