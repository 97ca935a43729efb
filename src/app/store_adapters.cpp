#include "app/store_adapters.hpp"

#include "identity/utf16.hpp"
#include "store/contacts.hpp"
#include "store/downloads.hpp"

namespace orv {

bool StoreContactDirectory::IsContact(const uint32_t* user_id) { return orv::IsContact(store_, user_id); }

std::optional<std::string> StoreContactDirectory::ContactName(const uint32_t* user_id) {
  const std::optional<ContactRecord> contact = FindContact(store_, user_id);
  if (!contact) return std::nullopt;
  return contact->name;
}

void StoreDownloadsRecord::AddDownload(const PeerRef& sender, const std::string& path,
                                       const std::u16string& sender_name, uint64_t) {
  // Time 0: stamped now and put at the head, where a finished download goes.
  orv::AddDownload(store_, sender, path, Utf16ToUtf8(sender_name), 0);
}

}  // namespace orv
