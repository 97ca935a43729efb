// The DHT messages (inner type 0): the type word, then the fixed fields;
// replies carry the request's type with bit 31 set. All integers
// little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dht/dht_ids.hpp"

namespace orv {

enum DhtMessageType : uint32_t {
  kDhtPing = 1,
  kDhtPingResp = 0x80000001,
  kFindNode = 2,
  kFindNodeResp = 0x80000002,
  kStoreValue = 3,
  kStoreValueResp = 0x80000003,
  kFindValue = 4,
  kFindValueResp = 0x80000004,
  kFindValueNodes = 0x80000005,
};

constexpr size_t kMaxReplyEntries = 20;
constexpr size_t kKeyMessageBytes = 36;       // type, key
constexpr size_t kKeyValueMessageBytes = 68;  // type, key, value
constexpr size_t kNodeListHeadBytes = 8;      // type, count
constexpr size_t kMaxDhtMessageBytes = kNodeListHeadBytes + kNodeEntryBytes * kMaxReplyEntries;

bool KnownDhtType(uint32_t type);

struct DhtMessage {
  std::array<uint8_t, kMaxDhtMessageBytes> bytes{};
  uint32_t length = 0;
};

DhtMessage BareMessage(uint32_t type);
DhtMessage KeyMessage(uint32_t type, const uint32_t* key);
DhtMessage KeyValueMessage(uint32_t type, const uint32_t* key, const uint32_t* value);
// At most kMaxReplyEntries of `nodes` are written.
DhtMessage NodeListMessage(uint32_t type, const PeerRef* nodes, size_t count);

// The entries of a find_node_resp or find_value_nodes of `length` bytes:
// false (nothing read) when the head is short, the count exceeds 20 or the
// entries do not fit in the length.
bool ReadNodeList(const uint8_t* data, size_t length, std::array<PeerRef, kMaxReplyEntries>& out, size_t& count);

// The key (and value) fields after the type word.
void ReadKey(const uint8_t* data, uint32_t* key);
void ReadKeyValue(const uint8_t* data, uint32_t* key, uint32_t* value);

}  // namespace orv
