#include "net/compute_slots.hpp"

#include <algorithm>
#include <semaphore>
#include <thread>

namespace orv {
namespace {

constexpr std::ptrdiff_t kMaxSlots = 64;

std::counting_semaphore<kMaxSlots>& Slots() {
  static std::counting_semaphore<kMaxSlots> slots(static_cast<std::ptrdiff_t>(ComputeSlotCount()));
  return slots;
}

}  // namespace

size_t ComputeSlotCount() {
  const size_t processors = std::max(1u, std::thread::hardware_concurrency());
  return std::min<size_t>(processors + 1, kMaxSlots);
}

ComputeSlot::ComputeSlot() { Slots().acquire(); }
ComputeSlot::~ComputeSlot() { Slots().release(); }

}  // namespace orv
