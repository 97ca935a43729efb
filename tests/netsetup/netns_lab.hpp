// A home router built from network namespaces for the port mapping tests:
//
//   "lan" 192.168.77.2 --veth-- 192.168.77.1 "gw" 11.22.33.1 --veth-- 11.22.33.2 "wan"
//
// "gw" forwards between its two sides, has nftables chains for miniupnpd
// and runs miniupnpd with "wan" as its external side. The external side
// needs an address that miniupnpd accepts as public (it refuses private
// and reserved ranges and this version has no option to allow them), so
// it gets 11.22.33.0/24, which only these namespaces use: nothing connects
// them to the machine's own network and they have no route out.
//
// Names carry a prefix with the test process's id, so runs side by side
// do not clash. Everything is removed when the lab ends, when the process
// is stopped by a signal (handlers remove the namespaces), and when it is
// killed outright (miniupnpd dies with its parent; the next lab removes
// namespaces whose process is gone).
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "support/temp_dir.hpp"

namespace orv::test {

class NetnsLab {
 public:
  static constexpr const char* kGatewayLan = "192.168.77.1";
  static constexpr const char* kNodeAddress = "192.168.77.2";
  static constexpr const char* kExternalAddress = "11.22.33.1";
  static constexpr const char* kWanAddress = "11.22.33.2";

  NetnsLab();
  ~NetnsLab();
  NetnsLab(const NetnsLab&) = delete;
  NetnsLab& operator=(const NetnsLab&) = delete;

  // Builds the namespaces and starts miniupnpd. On failure `error` says
  // why (the test is then skipped) and whatever was made is removed.
  bool Start(std::string& error);

  // Runs `work` on a thread of its own inside namespace "lan" or "wan":
  // sockets made there belong to that namespace.
  bool RunInLan(const std::function<void()>& work) const { return RunIn(Name("lan"), work); }
  bool RunInWan(const std::function<void()>& work) const { return RunIn(Name("wan"), work); }

  // What miniupnpd wrote, for failure messages.
  std::string GatewayLog() const;

  // The gateway's nftables table as `nft list` prints it.
  std::string GatewayRules() const;

 private:
  std::string Name(const std::string& role) const { return prefix_ + "-" + role; }
  bool RunIn(const std::string& netns, const std::function<void()>& work) const;
  bool BuildNetwork(std::string& error);
  bool StartMiniupnpd(std::string& error);
  void Stop();

  std::string prefix_;
  TempDir dir_;
  pid_t miniupnpd_ = -1;
  bool started_ = false;
};

}  // namespace orv::test
