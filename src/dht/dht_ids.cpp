#include "dht/dht_ids.hpp"

#include <bit>

#include "crypto/byte_order.hpp"

namespace orv {

int BucketIndex(const uint32_t* a, const uint32_t* b) {
  for (size_t w = 0; w < kUserIdWords; ++w) {
    const uint32_t x = a[w] ^ b[w];
    if (x == 0) continue;
    const int top = 31 - std::countl_zero(x);
    return static_cast<int>((kUserIdWords - 1 - w) * 32) + top;
  }
  return -1;
}

int CompareDistance(const uint32_t* key, const uint32_t* a, const uint32_t* b) {
  for (size_t w = 0; w < kUserIdWords; ++w) {
    const uint32_t da = a[w] ^ key[w];
    const uint32_t db = b[w] ^ key[w];
    if (da != db) return da < db ? -1 : 1;
  }
  return 0;
}

void StoreNodeEntry(uint8_t* out, const PeerRef& node) {
  WordsToLeBytes(out, node.user_id, kUserIdWords);
  StoreLe32(out + 32, node.ipv4);
  out[36] = static_cast<uint8_t>(node.port);
  out[37] = static_cast<uint8_t>(node.port >> 8);
  out[38] = 0;
  out[39] = 0;
}

PeerRef LoadNodeEntry(const uint8_t* in) {
  PeerRef node;
  LeBytesToWords(node.user_id, in, kUserIdWords);
  node.ipv4 = LoadLe32(in + 32);
  node.port = static_cast<uint16_t>(in[36] | (in[37] << 8));
  return node;
}

}  // namespace orv
