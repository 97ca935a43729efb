// The tool windows' reads over real engines: a DHT engine with recording
// collaborators (the DHT tests' fixture), a peer table of an endpoint that
// is never opened (its records are made here the way the network layer
// makes them), and a contact store.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/tool_lists/engine_tool_lists.hpp"
#include "dht/dht_fixture.hpp"
#include "identity/utf16.hpp"
#include "net/net_fixture.hpp"

namespace orv::test {

class ToolListsFixture : public DhtFixture {
 protected:
  // A peer of the table, named as a handshake would have named it.
  PeerRecord& AddPeer(const PeerRef& ref, const std::u16string& name, bool connected = false, bool away = false) {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    PeerRecord* record = FindPeer(endpoint, ref.user_id, true, &ref);
    record->name.fill(0);
    std::copy(name.begin(), name.end(), record->name.begin());
    record->name_length = static_cast<uint32_t>(2 * name.size());
    record->connected = connected;
    record->away = away;
    return *record;
  }

  void AddContact(const PeerRef& peer, bool authorized) {
    ContactRecord contact;
    contact.peer = peer;
    contact.name = "contact";
    contact.authorized = authorized;
    std::lock_guard<std::mutex> g(store.lock);
    store.contacts.push_back(contact);
  }

  // A node the routing table heard from directly, or was told of; new in
  // its bucket either way ("Unknown"), at the bucket's tail.
  void AddNode(const PeerRef& node, bool live = true) { engine->NoteDhtNode(node, live, nullptr); }
  // A listed node heard from again: "Responded", at the head of its bucket.
  void Hear(const PeerRef& node) { engine->NoteDhtNode(node, true, nullptr); }

  FakeHost host{nullptr};
  NetworkEndpoint endpoint{host};
  ContactStore store;
  EngineToolListSources sources{ToolListEngines{[this] { return &endpoint; }, [this] { return engine.get(); },
                                                [this] { return &store; }, {}, {}}};
};

// A peer at 192.168.1.x, its UserId words seed, seed + 1, ...
inline PeerRef PeerAt(uint32_t seed, uint32_t ipv4, uint16_t port) {
  PeerRef p;
  for (uint32_t i = 0; i < kUserIdWords; ++i) p.user_id[i] = seed + i;
  p.ipv4 = ipv4;
  p.port = port;
  return p;
}

}  // namespace orv::test
