// The engine's transfers of both directions, in the order they were made,
// found by handle and by the peer's UserId with the identifier in
// logarithmic time: a message names its transfer by the peer and the
// identifier, and a peer may send many. Guarded by the engine lock.
#pragma once

#include <array>
#include <iterator>
#include <cstdint>
#include <map>
#include <memory>

#include "transfer/transfer_record.hpp"

namespace orv {

class TransferList {
 public:
  TransferRecord& Add(std::unique_ptr<TransferRecord> record);
  void Clear();
  TransferRecord* ByHandle(uint32_t handle);
  size_t size() const { return records_.size(); }

  // Calls `visit` for every transfer, oldest first.
  template <typename Visit>
  void ForEach(Visit visit) {
    for (auto& [handle, held] : records_) visit(*held.record);
  }
  // Calls `keep` for every transfer, oldest first, and removes those it
  // returns false for.
  template <typename Keep>
  void KeepIf(Keep keep) {
    for (auto it = records_.begin(); it != records_.end();) it = keep(*it->second.record) ? std::next(it) : Erase(it);
  }

  // Calls `visit` for each transfer with the peer `user_id` and the
  // identifier `id`, oldest first, until it returns false.
  template <typename Visit>
  void WithId(const uint32_t* user_id, uint32_t id, Visit visit) {
    for (auto it = by_id_.lower_bound(Key(user_id, id)); it != by_id_.end() && it->first == Key(user_id, id); ++it)
      if (!visit(*it->second)) return;
  }
  // Calls `visit` for each transfer with the peer `user_id`.
  template <typename Visit>
  void WithPeer(const uint32_t* user_id, Visit visit) {
    const auto first = Key(user_id, 0);
    for (auto it = by_id_.lower_bound(first); it != by_id_.end() && it->first.user == first.user; ++it)
      visit(*it->second);
  }

 private:
  struct IdKey {
    std::array<uint32_t, kUserIdWords> user{};
    uint32_t id = 0;
    auto operator<=>(const IdKey&) const = default;
  };
  // The key is kept as it was added: the record's PeerRef may be written
  // by a send.
  struct Held {
    std::unique_ptr<TransferRecord> record;
    IdKey key;
  };
  using Records = std::map<uint32_t, Held>;  // by handle: handles only grow

  static IdKey Key(const uint32_t* user_id, uint32_t id);
  Records::iterator Erase(Records::iterator at);

  Records records_;
  std::multimap<IdKey, TransferRecord*> by_id_;  // equal keys in the order added
};

}  // namespace orv
