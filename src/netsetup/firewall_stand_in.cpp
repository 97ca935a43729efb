#include "netsetup/firewall_stand_in.hpp"

namespace orv {

std::string NoFirewallManagerText(FirewallChange change, uint16_t port) {
  return "No firewall manager found: port " + std::to_string(port) + " is not " +
         (change == FirewallChange::kOpen ? "opened" : "closed") + " in the firewall.\n";
}

void ReportNoFirewallManager(FirewallChange change, uint16_t port, std::FILE* out) {
  const std::string text = NoFirewallManagerText(change, port);
  std::fputs(text.c_str(), out);
  std::fflush(out);
}

}  // namespace orv
