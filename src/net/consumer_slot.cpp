#include "net/consumer_slot.hpp"

namespace orv {

ConsumerSlot::Lease::Lease(ConsumerSlot& slot) : slot_(slot) {
  std::lock_guard<std::mutex> guard(slot_.lock_);
  set_ = slot_.set_;
  ++slot_.leases_;
}

ConsumerSlot::Lease::~Lease() {
  std::lock_guard<std::mutex> guard(slot_.lock_);
  if (--slot_.leases_ == 0) slot_.released_.notify_all();
}

void ConsumerSlot::Set(const NetworkConsumers& set) {
  std::unique_lock<std::mutex> guard(lock_);
  set_ = set;
  // Leases taken from now on see the new set; wait for those that may
  // still hold the old one (and, simply, for any that came meanwhile).
  released_.wait(guard, [this] { return leases_ == 0; });
}

}  // namespace orv
