#include "gui/sleep_inhibitor.hpp"

#include <utility>

namespace orv {
namespace {

// The inhibitor blocks sleep outright (not only delays it) while held.
constexpr const char* kWhat = "sleep";
constexpr const char* kWho = "ORV Telephone";
constexpr const char* kWhy = "Prevent the computer from sleeping";
constexpr const char* kMode = "block";

}  // namespace

SleepInhibitor::SleepInhibitor(std::unique_ptr<SleepInhibitBus> bus, Log log)
    : bus_(std::move(bus)), log_(std::move(log)) {}

void SleepInhibitor::Set(bool prevent) {
  if (!prevent) {
    lock_.Reset();
    return;
  }
  if (!held()) Take();
}

void SleepInhibitor::Take() {
  if (!bus_ || !bus_->Available()) {
    if (!no_bus_reported_ && log_) log_("no login manager on the system bus: the computer may sleep");
    no_bus_reported_ = true;
    return;
  }
  std::string error;
  lock_ = bus_->Inhibit(kWhat, kWho, kWhy, kMode, error);
  if (!held() && log_) log_("the login manager refused the sleep inhibitor: " + error);
}

}  // namespace orv
