// The DHT's findings as event lines of the control interface: lookups that
// ended, users found by name. Called from the DHT's threads and the
// receive thread; the bus takes lines from any thread.
#pragma once

#include "daemon/event_bus.hpp"
#include "dht/dht_ports.hpp"

namespace orv {

class DhtLines final : public DhtEvents {
 public:
  explicit DhtLines(EventBus& bus) : bus_(bus) {}
  void LookupEnded(const uint32_t* target, const PeerRef* found) override;
  void NameFound(const uint32_t* user_id) override;

 private:
  EventBus& bus_;
};

}  // namespace orv
