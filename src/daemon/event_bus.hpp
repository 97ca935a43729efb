// The events of the control interface. Engines emit events (a name and its
// fields) from any thread; every listener (each connected control client,
// the terminal) gets each event with its line, in the order emitted.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "daemon/control_reply.hpp"

namespace orv {

class EventBus {
 public:
  // Called with the bus lock held: must return quickly, and must neither
  // emit, subscribe, unsubscribe nor log (the log's own events come here).
  using Listener = std::function<void(const ControlEvent& event, const std::string& line)>;

  // Ends a subscription when it goes. The bus must outlive it.
  class Subscription {
   public:
    Subscription() = default;
    Subscription(EventBus* bus, uint64_t id) : bus_(bus), id_(id) {}
    ~Subscription() { Reset(); }
    Subscription(Subscription&& other) noexcept : bus_(other.bus_), id_(other.id_) { other.bus_ = nullptr; }
    Subscription& operator=(Subscription&& other) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    // Unsubscribes; once it returns the listener is not running and will
    // not be called again.
    void Reset();

   private:
    EventBus* bus_ = nullptr;
    uint64_t id_ = 0;
  };

  [[nodiscard]] Subscription Subscribe(Listener listener);

  // Delivers the event to every listener. Callable from any thread.
  void Emit(const ControlEvent& event);
  void Emit(std::string name, Fields fields = {});

 private:
  void Unsubscribe(uint64_t id);

  std::mutex mutex_;  // the bus lock: the listeners, and the order of delivery
  std::map<uint64_t, Listener> listeners_;
  uint64_t next_id_ = 1;
};

}  // namespace orv
