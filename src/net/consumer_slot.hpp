// The consumers the endpoint reports to, replaceable while it runs. A
// lease pins the current set while a callback uses it; replacing the set
// waits until no lease on the old one is held, so an engine can be stopped
// and freed once it has been taken out (the DHT and file transfer engines
// stop before the endpoint does). Never replace the set from inside one of
// its own callbacks.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "net/consumers.hpp"

namespace orv {

class ConsumerSlot {
 public:
  class Lease {
   public:
    explicit Lease(ConsumerSlot& slot);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    const NetworkConsumers& operator*() const { return set_; }
    const NetworkConsumers* operator->() const { return &set_; }

   private:
    ConsumerSlot& slot_;
    NetworkConsumers set_;
  };

  void Set(const NetworkConsumers& set);

 private:
  std::mutex lock_;
  std::condition_variable released_;
  NetworkConsumers set_;
  uint32_t leases_ = 0;
};

}  // namespace orv
