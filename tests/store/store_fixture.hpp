// A store with a clock the test moves, and small helpers to name peers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/peer_ref.hpp"
#include "store/contact_store.hpp"
#include "store/file_time.hpp"

namespace orv::test {

inline FileTime At(int y, int mo, int d, int h, int mi, int s) { return *FileTimeFromCivil({y, mo, d, h, mi, s}); }

// A UserId whose words are seed, seed + 1, ... (seed 0 gives all zero).
inline PeerRef Peer(uint32_t seed, uint32_t ipv4, uint16_t port) {
  PeerRef p;
  for (uint32_t i = 0; i < 8 && seed != 0; ++i) p.user_id[i] = seed + i;
  p.ipv4 = ipv4;
  p.port = port;
  return p;
}

struct StoreFixture {
  FileTime now = At(2014, 4, 20, 13, 5, 9);
  std::vector<std::string> log_lines;
  ContactStore store{[this] { return now; },
                     [this](std::string_view source, std::string_view text) {
                       log_lines.push_back(std::string(source) + ": " + std::string(text));
                     }};
};

}  // namespace orv::test
