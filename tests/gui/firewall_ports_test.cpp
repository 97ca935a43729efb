#include "gui/firewall_ports.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace orv {
namespace {

class FakeFirewalld final : public FirewallBus {
 public:
  bool available = true;
  bool open = false;
  bool query_fails = false;
  bool change_fails = false;
  std::vector<std::string> changes;  // "add 31265" / "remove 31265"

  bool Available() override { return available; }
  std::optional<bool> PortOpen(uint16_t, std::string& error) override {
    if (query_fails) {
      error = "org.freedesktop.DBus.Error.AccessDenied: no";
      return std::nullopt;
    }
    return open;
  }
  bool AddPort(uint16_t port, std::string& error) override { return Change("add", port, true, error); }
  bool RemovePort(uint16_t port, std::string& error) override { return Change("remove", port, false, error); }

 private:
  bool Change(const char* what, uint16_t port, bool now_open, std::string& error) {
    changes.push_back(std::string(what) + " " + std::to_string(port));
    if (change_fails) {
      error = "NOT_AUTHORIZED";
      return false;
    }
    open = now_open;
    return true;
  }
};

// What a call wrote as its diagnostics.
template <typename Call>
std::string Diagnostics(Call call) {
  std::FILE* out = std::tmpfile();
  call(out);
  std::string text(static_cast<size_t>(std::ftell(out)), '\0');
  std::rewind(out);
  const size_t got = std::fread(text.data(), 1, text.size(), out);
  std::fclose(out);
  text.resize(got);
  return text;
}

TEST(FirewallPortsTest, OpenAndCloseAsTheFirewallStands) {
  const struct {
    const char* what;
    bool open_call;
    bool open_before, query_fails, change_fails;
    std::string diagnostics;
    std::vector<std::string> changes;
    bool open_after;
  } cases[] = {
      {"open a closed port", true, false, false, false,
       "Port 31265 is not open in the firewall.\nPort 31265 is now open in the firewall.\n", {"add 31265"}, true},
      {"open an open port", true, true, false, false, "Port 31265 is open in the firewall.\n", {}, true},
      {"open refused", true, false, false, true,
       "Port 31265 is not open in the firewall.\naddPort failed: NOT_AUTHORIZED\n", {"add 31265"}, false},
      {"query refused", true, false, true, false, "queryPort failed: org.freedesktop.DBus.Error.AccessDenied: no\n",
       {}, false},
      {"close an open port", false, true, false, false, "Port 31265 is open in the firewall.\n", {"remove 31265"},
       false},
      {"close a closed port", false, false, false, false, "Port 31265 is not open in the firewall.\n", {}, false},
      {"close refused", false, true, false, true,
       "Port 31265 is open in the firewall.\nremovePort failed: NOT_AUTHORIZED\n", {"remove 31265"}, true},
  };
  for (const auto& c : cases) {
    FakeFirewalld firewalld;
    firewalld.open = c.open_before;
    firewalld.query_fails = c.query_fails;
    firewalld.change_fails = c.change_fails;
    const std::string written = Diagnostics([&](std::FILE* out) {
      if (c.open_call)
        OpenFirewallPortOn(&firewalld, 31265, out);
      else
        CloseFirewallPortOn(&firewalld, 31265, out);
    });
    EXPECT_EQ(written, c.diagnostics) << c.what;
    EXPECT_EQ(firewalld.changes, c.changes) << c.what;
    EXPECT_EQ(firewalld.open, c.open_after) << c.what;
  }
}

TEST(FirewallPortsTest, WithoutFirewalldTheDiagnosticsSaySo) {
  FakeFirewalld absent;
  absent.available = false;
  EXPECT_EQ(Diagnostics([&](std::FILE* out) { OpenFirewallPortOn(&absent, 4464, out); }),
            "No firewall manager found: port 4464 is not opened in the firewall.\n");
  EXPECT_EQ(Diagnostics([&](std::FILE* out) { CloseFirewallPortOn(nullptr, 4464, out); }),
            "No firewall manager found: port 4464 is not closed in the firewall.\n");
  EXPECT_TRUE(absent.changes.empty());
}

}  // namespace
}  // namespace orv
