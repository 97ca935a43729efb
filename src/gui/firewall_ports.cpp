#include "gui/firewall_ports.hpp"

#include "netsetup/firewall_stand_in.hpp"

namespace orv {
namespace {

void Write(std::FILE* out, const std::string& text) {
  std::fputs(text.c_str(), out);
  std::fflush(out);
}

std::string PortText(uint16_t port, const char* how) {
  return "Port " + std::to_string(port) + " is " + how + " in the firewall.\n";
}

// Whether the port is open, with its diagnostic line; nothing when the
// question failed.
std::optional<bool> AskPortOpen(FirewallBus& bus, uint16_t port, std::FILE* out) {
  std::string error;
  const std::optional<bool> open = bus.PortOpen(port, error);
  if (!open)
    Write(out, "queryPort failed: " + error + "\n");
  else
    Write(out, PortText(port, *open ? "open" : "not open"));
  return open;
}

}  // namespace

void OpenFirewallPortOn(FirewallBus* bus, uint16_t port, std::FILE* out) {
  if (!bus || !bus->Available()) {
    ReportNoFirewallManager(FirewallChange::kOpen, port, out);
    return;
  }
  const std::optional<bool> open = AskPortOpen(*bus, port, out);
  if (!open || *open) return;
  std::string error;
  if (bus->AddPort(port, error))
    Write(out, PortText(port, "now open"));
  else
    Write(out, "addPort failed: " + error + "\n");
}

void CloseFirewallPortOn(FirewallBus* bus, uint16_t port, std::FILE* out) {
  if (!bus || !bus->Available()) {
    ReportNoFirewallManager(FirewallChange::kClose, port, out);
    return;
  }
  const std::optional<bool> open = AskPortOpen(*bus, port, out);
  if (!open || !*open) return;
  std::string error;
  if (!bus->RemovePort(port, error)) Write(out, "removePort failed: " + error + "\n");
}

}  // namespace orv
