// What the three network tool windows read from the engines and ask of
// them. Each read is a copy taken in one hold of one lock (the peer table
// lock, the DHT lock or the store lock), so that a refresh never holds two
// of them at once. Every call comes from the interface thread with no lock
// held.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "dht/dht_engine.hpp"
#include "net/peer_table.hpp"
#include "store/contact_store.hpp"

namespace orv {

class ToolListSources {
 public:
  virtual ~ToolListSources() = default;
  // The peer table in table order, each peer with its name and state.
  virtual std::vector<PeerStatus> Peers() = 0;
  // The routing table, bucket 0 to 255, each bucket in list order.
  virtual std::vector<DhtNodeView> DhtNodes() = 0;
  // The contact list.
  virtual std::vector<ContactRecord> Contacts() = 0;
  // LocateUser: true when the routing table knows the user now; otherwise
  // a lookup may start.
  virtual bool LocateUser(const uint32_t* user_id) = 0;
  // The network layer's name search: true when a peer of the table matches
  // at once (the main window is told of it); otherwise the connected peers
  // are asked.
  virtual bool FindUserByName(std::u16string_view name) = 0;
  // The DHT's search of the name's keywords.
  virtual void SearchByName(std::u16string_view name) = 0;
};

}  // namespace orv
