#include "net/session_setup.hpp"

namespace orv {

SessionSetup::SessionSetup() = default;

// Both handshake contexts wipe every buffer when they are destroyed
// (HandshakeClear), so a discarded setup leaves no secret behind.
SessionSetup::~SessionSetup() = default;

std::unique_ptr<SessionSetup> NewSessionSetup() { return std::make_unique<SessionSetup>(); }

void DiscardSetup(std::unique_ptr<SessionSetup>& setup) { setup.reset(); }

uint32_t NextResendTicks(uint32_t interval) {
  const uint32_t next = interval < kFirstResendTicks ? kFirstResendTicks : interval * 2;
  return next < kResendTicks ? next : kResendTicks;
}

const char* SetupStateName(uint32_t state) {
  static const char* const kNames[] = {"Idle",         "Pinging",       "Ses requesting",   "Ses confirmation",
                                       "Ping requested", "Ses requested", "Wait confirmation"};
  return state < 7 ? kNames[state] : "";
}

}  // namespace orv
