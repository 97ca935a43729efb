// Keyword publishing and search: a name is cut into keywords, each hashed
// to a 256-bit key; a slot per key keeps the three nodes closest to it and
// steps through the publish or search cycle once per DHT pass.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/peer_ref.hpp"

namespace orv {

constexpr size_t kKeywordSlots = 4;
constexpr size_t kSlotClosest = 3;
constexpr uint32_t kSlotCountdown = 10;  // the next step runs 11 passes later
// A publication the check cycle keeps confirming is stored again after
// this long anyway: nodes that keep pairs for others let those go that
// were not stored again within an hour.
constexpr uint64_t kRestoreAfterMs = 30ull * 60 * 1000;

struct KeywordSlot {
  uint32_t key[kUserIdWords] = {};
  uint32_t value[kUserIdWords] = {};  // own UserId (publish) or the user found (search)
  uint32_t countdown = 0;
  std::array<PeerRef, kSlotClosest> closest{};
  uint32_t closest_count = 0;
  uint32_t state = 0;   // 0..5, see StepSlot
  uint64_t stored_ms = 0;  // publish slots: when the value was last stored
  bool found = false;   // a search slot that found its user: it steps no more
};

// Fills up to four slots' keys from `text` (UTF-16): the first two words,
// what follows them (the rest of the text after one word; the empty text
// after two), and the whole text, each through Hash256 of its UTF-16LE
// bytes. Returns the number of slots filled (1..4).
size_t KeywordKeys(std::u16string_view text, KeywordSlot* slots);

// Keeps `node` among the slot's three closest to its key when there is
// room or it is closer than the farthest of them. A node already kept, or
// one without address, is not taken twice.
void KeepClosest(KeywordSlot& slot, const PeerRef& node);

}  // namespace orv
