#include "daemon/event_bus.hpp"

namespace orv {

EventBus::Subscription& EventBus::Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    Reset();
    bus_ = other.bus_;
    id_ = other.id_;
    other.bus_ = nullptr;
  }
  return *this;
}

void EventBus::Subscription::Reset() {
  if (bus_) bus_->Unsubscribe(id_);
  bus_ = nullptr;
}

EventBus::Subscription EventBus::Subscribe(Listener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = next_id_++;
  listeners_.emplace(id, std::move(listener));
  return Subscription(this, id);
}

void EventBus::Unsubscribe(uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  listeners_.erase(id);
}

void EventBus::Emit(const ControlEvent& event) {
  const std::string line = EventLine(event);
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : listeners_) entry.second(event, line);
}

void EventBus::Emit(std::string name, Fields fields) { Emit(ControlEvent{std::move(name), std::move(fields)}); }

}  // namespace orv
