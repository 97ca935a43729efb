// Keyword slots: publishing the own name's keywords, searching a name's,
// and what find_value answers do to them.
#include "dht/dht_engine.hpp"
#include "dht/engine_pending.hpp"

namespace orv {

void DhtEngine::SearchByName(std::u16string_view name) {
  Pending pending;
  {
    std::lock_guard<std::mutex> held(lock_);
    search_ = {};
    search_count_ = KeywordKeys(name, search_.data());
    for (size_t i = 0; i < search_count_; ++i) {
      KeywordSlot& slot = search_[i];
      slot.state = 4;
      StartSlot(slot);
      slot.countdown = kSlotCountdown;
      // A pair this node keeps for others answers at once.
      if (const StoredPair* pair = FindPair(stored_, slot.key, clock_.NowMs())) SlotFound(slot, pair->value, pending);
    }
  }
  Fire(pending);
}

void DhtEngine::SlotFound(KeywordSlot& slot, const uint32_t* value, Pending& pending) {
  CopyUserId(slot.value, value);
  slot.found = true;
  slot.countdown = kSlotCountdown;
  slot.state = 5;
  slot.closest_count = 0;
  pending.names_found.push_back(IdWords(value));
  pending.locate.push_back(IdWords(value));
}

void DhtEngine::OfferTable(KeywordSlot& slot) {
  for (const Bucket& bucket : table_.buckets)
    for (const DhtNode& node : bucket.nodes) KeepClosest(slot, node.ref);
}

void DhtEngine::StartSlot(KeywordSlot& slot) {
  slot.closest_count = 0;
  OfferTable(slot);
  for (uint32_t k = 0; k < slot.closest_count; ++k) slot.closest[k] = Send(slot.closest[k], KeyMessage(kFindValue, slot.key));
}

// The store step: the pair goes to the closest nodes, and the check
// follows 11 passes later. Nodes met since the start compete too: the pair
// goes to the closest this node knows of now.
void DhtEngine::StoreSlot(KeywordSlot& slot) {
  OfferTable(slot);
  for (uint32_t k = 0; k < slot.closest_count; ++k) Send(slot.closest[k], KeyValueMessage(kStoreValue, slot.key, slot.value));
  slot.stored_ms = clock_.NowMs();
  slot.state = 2;
  slot.countdown = kSlotCountdown;
}

// Publish slots cycle 0 -> 1 (store) -> 2 (check) -> 3 -> 0, a confirmation
// in 3 sending them back to 2; a check due when the last store is half a
// pair's lifetime old stores again instead. Search slots start in 4 with
// their queries sent and repeat the cycle's queries until a user is found;
// they never store: a search that found nothing has nothing to store, and
// one that found a user does not publish someone else's name.
void DhtEngine::StepSlot(KeywordSlot& slot, bool search) {
  const bool publishes = !search && !IsZeroUserId(slot.value);
  switch (slot.state) {
    case 0:
      StartSlot(slot);
      slot.state = 1;
      slot.countdown = kSlotCountdown;
      break;
    case 1:
      if (publishes) {
        StoreSlot(slot);
        break;
      }
      slot.state = 2;
      slot.countdown = kSlotCountdown;
      break;
    case 2:
      if (publishes && clock_.NowMs() - slot.stored_ms >= kRestoreAfterMs) {
        StoreSlot(slot);
        break;
      }
      for (uint32_t k = 0; k < slot.closest_count; ++k) Send(slot.closest[k], KeyMessage(kFindValue, slot.key));
      slot.state = 3;
      slot.countdown = kSlotCountdown;
      break;
    case 4:
      slot.state = 5;
      slot.countdown = kSlotCountdown;
      break;
    default:  // 3 and 5: back to the start
      slot.state = 0;
      break;
  }
}

void DhtEngine::StepSlots() {
  const auto step = [&](KeywordSlot& slot, bool search) {
    if (search && slot.found) return;
    if (slot.countdown != 0) {
      --slot.countdown;
      return;
    }
    StepSlot(slot, search);
  };
  for (size_t i = 0; i < publish_count_; ++i) step(publish_[i], false);
  for (size_t i = 0; i < search_count_; ++i) step(search_[i], true);
}

void DhtEngine::ValueFound(const uint8_t* data, Pending& pending) {
  uint32_t key[kUserIdWords];
  uint32_t value[kUserIdWords];
  ReadKeyValue(data, key, value);
  // Only the own pair confirms a publication: another user's pair under
  // the same key says nothing of ours, which may have lapsed.
  for (size_t i = 0; i < publish_count_; ++i) {
    KeywordSlot& slot = publish_[i];
    if (!SameUserId(slot.key, key) || !SameUserId(slot.value, value)) continue;
    slot.countdown = kSlotCountdown;
    if (slot.state == 3) slot.state = 2;
  }
  if (IsZeroUserId(value)) return;
  for (size_t i = 0; i < search_count_; ++i) {
    KeywordSlot& slot = search_[i];
    if (!SameUserId(slot.key, key) || (slot.found && SameUserId(slot.value, value))) continue;
    SlotFound(slot, value, pending);
  }
}

void DhtEngine::OfferToSlots(const PeerRef* entries, size_t count) {
  for (size_t e = 0; e < count; ++e) {
    for (size_t i = 0; i < publish_count_; ++i) KeepClosest(publish_[i], entries[e]);
    for (size_t i = 0; i < search_count_; ++i) KeepClosest(search_[i], entries[e]);
  }
}

}  // namespace orv
