#include "netsetup/firewall_stand_in.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace orv {
namespace {

std::string Written(FirewallChange change, uint16_t port) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose);
  ReportNoFirewallManager(change, port, out.get());
  std::rewind(out.get());
  char buffer[128] = {};
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, out.get());
  return std::string(buffer, n);
}

TEST(FirewallStandInTest, SaysThatNoFirewallManagerWasFound) {
  EXPECT_EQ(Written(FirewallChange::kOpen, 31265), "No firewall manager found: port 31265 is not opened in the firewall.\n");
  EXPECT_EQ(Written(FirewallChange::kClose, 4464), "No firewall manager found: port 4464 is not closed in the firewall.\n");
}

}  // namespace
}  // namespace orv
