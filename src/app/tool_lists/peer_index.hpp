// The peer table as one refresh of a tool window saw it, looked up by
// UserId: what GetPeerName and GetPeerPresence would have answered.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "net/peer_table.hpp"

namespace orv {

class PeerIndex {
 public:
  explicit PeerIndex(const std::vector<PeerStatus>& peers);
  // The peer's name, "<unknown>" when the table does not hold the UserId.
  std::string Name(const uint32_t* user_id) const;
  // 0 not in the table or not connected, 1 connected and online, 2 away.
  int Presence(const uint32_t* user_id) const;

 private:
  const PeerStatus* Find(const uint32_t* user_id) const;
  std::map<std::vector<uint32_t>, const PeerStatus*> by_id_;
};

}  // namespace orv
