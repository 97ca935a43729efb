// The contact store as the engines above it ask for it: whether a UserId
// is a contact (transfer policy), and the downloads record that completed
// downloads go to.
#pragma once

#include <cstdint>
#include <string>

#include "store/contact_store.hpp"
#include "transfer/transfer_ports.hpp"

namespace orv {

class StoreContactDirectory final : public ContactDirectory {
 public:
  explicit StoreContactDirectory(ContactStore& store) : store_(store) {}
  bool IsContact(const uint32_t* user_id) override;
  std::optional<std::string> ContactName(const uint32_t* user_id) override;

 private:
  ContactStore& store_;
};

class StoreDownloadsRecord final : public DownloadsRecord {
 public:
  explicit StoreDownloadsRecord(ContactStore& store) : store_(store) {}
  // A download that has just finished: stamped with the store's clock.
  void AddDownload(const PeerRef& sender, const std::string& path, const std::u16string& sender_name,
                   uint64_t time_100ns) override;

 private:
  ContactStore& store_;
};

}  // namespace orv
