// Opening the local UDP port in the firewall where no firewall manager is
// there to ask (a headless node): the diagnostics say so on standard
// output, as every firewall diagnostic does, and nothing else happens.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace orv {

enum class FirewallChange { kOpen, kClose };

// "No firewall manager found: port <p> is not opened in the firewall.\n"
// (or "... not closed ...").
std::string NoFirewallManagerText(FirewallChange change, uint16_t port);

// Writes that text to `out` (standard output for the programs).
void ReportNoFirewallManager(FirewallChange change, uint16_t port, std::FILE* out = stdout);

}  // namespace orv
