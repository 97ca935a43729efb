#include "dht/keywords.hpp"

#include "crypto/block_hash.hpp"
#include "dht/dht_ids.hpp"
#include "identity/utf16.hpp"

namespace orv {
namespace {

void HashPart(std::u16string_view part, uint32_t* key) {
  const std::string bytes = Utf16ToLeBytes(part);
  Hash256(key, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

size_t KeywordKeys(std::u16string_view t, KeywordSlot* slots) {
  const size_t length = t.size();
  size_t count = 0;
  size_t start = 0;
  size_t i = 1;
  if (length >= 2) {
    for (; i < length && count < 2; ++i) {
      if (t[i] == u' ' && t[i - 1] != u' ') {
        HashPart(t.substr(start, i - start), slots[count++].key);
        start = i + 1;
      }
    }
  }
  if (start < length) HashPart(t.substr(start, i - start), slots[count++].key);
  HashPart(t, slots[count++].key);
  return count;
}

void KeepClosest(KeywordSlot& slot, const PeerRef& node) {
  if (!Reachable(node)) return;
  for (uint32_t k = 0; k < slot.closest_count; ++k)
    if (SameNode(slot.closest[k], node)) return;
  if (slot.closest_count < kSlotClosest) {
    slot.closest[slot.closest_count++] = node;
    return;
  }
  size_t farthest = 0;
  for (size_t k = 1; k < kSlotClosest; ++k)
    if (CloserTo(slot.key, slot.closest[farthest].user_id, slot.closest[k].user_id)) farthest = k;
  if (CloserTo(slot.key, node.user_id, slot.closest[farthest].user_id)) slot.closest[farthest] = node;
}

}  // namespace orv
