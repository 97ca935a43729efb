#include "daemon/dht_lines.hpp"

namespace orv {

void DhtLines::LookupEnded(const uint32_t* target, const PeerRef* found) {
  Fields fields;
  fields.UserId("user", target).Flag("found", found != nullptr);
  if (found) fields.Address("address", found->ipv4, found->port);
  bus_.Emit("lookup_ended", std::move(fields));
}

void DhtLines::NameFound(const uint32_t* user_id) { bus_.Emit("user_found", Fields().UserId("user", user_id)); }

}  // namespace orv
