// "Open port in the firewall": the local UDP port is opened (and closed
// again) in firewalld's default zone for the running system only, over the
// system bus. Where firewalld is not there, the diagnostics say that no
// firewall manager was found. Like every firewall diagnostic the lines go
// to standard output, never to the person: the program goes on either way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace orv {

// firewalld's zone calls for one UDP port in the default zone, behind an
// interface so that the logic can be tried without a bus.
class FirewallBus {
 public:
  virtual ~FirewallBus() = default;
  // False when firewalld is not on the system bus.
  virtual bool Available() = 0;
  // queryPort; nothing (with `error`) when the call failed.
  virtual std::optional<bool> PortOpen(uint16_t port, std::string& error) = 0;
  // addPort (runtime, no time limit) and removePort; false with `error`.
  virtual bool AddPort(uint16_t port, std::string& error) = 0;
  virtual bool RemovePort(uint16_t port, std::string& error) = 0;
};

// firewalld on the system bus (QtDBus); looked for at each call.
std::unique_ptr<FirewallBus> MakeFirewalldBus();

// Opens `port` unless it is open already: "Port %d is open in the
// firewall.\n", or "Port %d is not open in the firewall.\n" and then "Port
// %d is now open in the firewall.\n" (or what failed).
void OpenFirewallPortOn(FirewallBus* bus, uint16_t port, std::FILE* out = stdout);

// Closes `port` when it is open.
void CloseFirewallPortOn(FirewallBus* bus, uint16_t port, std::FILE* out = stdout);

}  // namespace orv
