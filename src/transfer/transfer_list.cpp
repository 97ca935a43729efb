#include "transfer/transfer_list.hpp"

#include <algorithm>

namespace orv {

TransferList::IdKey TransferList::Key(const uint32_t* user_id, uint32_t id) {
  IdKey key;
  std::copy(user_id, user_id + kUserIdWords, key.user.begin());
  key.id = id;
  return key;
}

TransferRecord& TransferList::Add(std::unique_ptr<TransferRecord> record) {
  TransferRecord& r = *record;
  const IdKey key = Key(r.peer.user_id, r.id);
  by_id_.emplace(key, &r);
  records_[r.handle] = Held{std::move(record), key};
  return r;
}

TransferList::Records::iterator TransferList::Erase(Records::iterator at) {
  const TransferRecord* r = at->second.record.get();
  auto [first, last] = by_id_.equal_range(at->second.key);
  for (auto it = first; it != last; ++it) {
    if (it->second != r) continue;
    by_id_.erase(it);
    break;
  }
  return records_.erase(at);
}

void TransferList::Clear() {
  by_id_.clear();
  records_.clear();
}

TransferRecord* TransferList::ByHandle(uint32_t handle) {
  const auto it = records_.find(handle);
  return it == records_.end() ? nullptr : it->second.record.get();
}

}  // namespace orv
