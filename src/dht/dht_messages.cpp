#include "dht/dht_messages.hpp"

#include <algorithm>

#include "crypto/byte_order.hpp"

namespace orv {

bool KnownDhtType(uint32_t type) {
  switch (type) {
    case kDhtPing:
    case kDhtPingResp:
    case kFindNode:
    case kFindNodeResp:
    case kStoreValue:
    case kStoreValueResp:
    case kFindValue:
    case kFindValueResp:
    case kFindValueNodes:
      return true;
    default:
      return false;
  }
}

DhtMessage BareMessage(uint32_t type) {
  DhtMessage m;
  StoreLe32(m.bytes.data(), type);
  m.length = 4;
  return m;
}

DhtMessage KeyMessage(uint32_t type, const uint32_t* key) {
  DhtMessage m = BareMessage(type);
  WordsToLeBytes(m.bytes.data() + 4, key, kUserIdWords);
  m.length = kKeyMessageBytes;
  return m;
}

DhtMessage KeyValueMessage(uint32_t type, const uint32_t* key, const uint32_t* value) {
  DhtMessage m = KeyMessage(type, key);
  WordsToLeBytes(m.bytes.data() + kKeyMessageBytes, value, kUserIdWords);
  m.length = kKeyValueMessageBytes;
  return m;
}

DhtMessage NodeListMessage(uint32_t type, const PeerRef* nodes, size_t count) {
  count = std::min(count, kMaxReplyEntries);
  DhtMessage m = BareMessage(type);
  StoreLe32(m.bytes.data() + 4, static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) StoreNodeEntry(m.bytes.data() + kNodeListHeadBytes + i * kNodeEntryBytes, nodes[i]);
  m.length = static_cast<uint32_t>(kNodeListHeadBytes + count * kNodeEntryBytes);
  return m;
}

bool ReadNodeList(const uint8_t* data, size_t length, std::array<PeerRef, kMaxReplyEntries>& out, size_t& count) {
  count = 0;
  if (length < kNodeListHeadBytes) return false;
  const uint32_t announced = LoadLe32(data + 4);
  // The count is bounded before it is multiplied, so nothing wraps.
  if (announced > kMaxReplyEntries) return false;
  if (length - kNodeListHeadBytes < announced * kNodeEntryBytes) return false;
  for (uint32_t i = 0; i < announced; ++i) out[i] = LoadNodeEntry(data + kNodeListHeadBytes + i * kNodeEntryBytes);
  count = announced;
  return true;
}

void ReadKey(const uint8_t* data, uint32_t* key) { LeBytesToWords(key, data + 4, kUserIdWords); }

void ReadKeyValue(const uint8_t* data, uint32_t* key, uint32_t* value) {
  LeBytesToWords(key, data + 4, kUserIdWords);
  LeBytesToWords(value, data + kKeyMessageBytes, kUserIdWords);
}

}  // namespace orv
