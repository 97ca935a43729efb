#include "netsetup/netns_lab.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace orv::test {
namespace {

constexpr const char* kNetnsDir = "/run/netns/";
constexpr const char* kPrefix = "orvup";
constexpr const char* kMiniupnpd = "/usr/sbin/miniupnpd";
constexpr const char* kRoles[] = {"gw", "lan", "wan"};

// Runs a program found on the PATH, its output discarded; true when it
// exits with 0.
bool Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RunInGateway(const std::string& gw, const std::vector<std::string>& command) {
  std::vector<std::string> args = {"ip", "netns", "exec", gw};
  args.insert(args.end(), command.begin(), command.end());
  return Run(args);
}

// What a signal handler needs to remove the lab: fixed buffers, no heap.
struct SignalCleanup {
  std::array<std::array<char, 64>, 3> mounts{};
  volatile sig_atomic_t miniupnpd = -1;
  volatile sig_atomic_t armed = 0;
};
SignalCleanup g_cleanup;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT};
struct sigaction g_previous[std::size(kStopSignals)];

void OnStopSignal(int signal_number) {
  if (g_cleanup.armed) {
    if (g_cleanup.miniupnpd > 0) ::kill(g_cleanup.miniupnpd, SIGKILL);
    for (const auto& mount : g_cleanup.mounts) {
      ::umount2(mount.data(), MNT_DETACH);
      ::unlink(mount.data());
    }
  }
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void ArmSignalCleanup(const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size() && i < g_cleanup.mounts.size(); ++i) {
    const std::string path = kNetnsDir + names[i];
    std::snprintf(g_cleanup.mounts[i].data(), g_cleanup.mounts[i].size(), "%s", path.c_str());
  }
  g_cleanup.armed = 1;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kStopSignals); ++i) ::sigaction(kStopSignals[i], &action, &g_previous[i]);
}

void DisarmSignalCleanup() {
  for (size_t i = 0; i < std::size(kStopSignals); ++i) ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
  g_cleanup.armed = 0;
  g_cleanup.miniupnpd = -1;
}

// Namespaces of earlier labs whose process is gone (killed outright).
void RemoveOrphanedNamespaces() {
  DIR* dir = ::opendir(kNetnsDir);
  if (!dir) return;
  std::vector<std::string> orphans;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind(kPrefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + std::strlen(kPrefix), nullptr, 10);
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) orphans.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : orphans) Run({"ip", "netns", "del", name});
}

}  // namespace

NetnsLab::NetnsLab() : prefix_(kPrefix + std::to_string(::getpid())) {}

NetnsLab::~NetnsLab() { Stop(); }

bool NetnsLab::Start(std::string& error) {
  if (::geteuid() != 0) {
    error = "network namespaces need root; run as root to test the port mapping against miniupnpd";
    return false;
  }
  if (::access(kMiniupnpd, X_OK) != 0 || !Run({"nft", "--version"})) {
    error = "miniupnpd or nft is not installed (scripts/install-deps.sh installs them)";
    return false;
  }
  RemoveOrphanedNamespaces();
  std::vector<std::string> names;
  for (const char* role : kRoles) names.push_back(Name(role));
  ArmSignalCleanup(names);
  started_ = true;
  if (!Run({"ip", "netns", "add", Name("gw")})) {
    error = "'ip netns add' does not work here";
    Stop();
    return false;
  }
  if (!BuildNetwork(error) || !StartMiniupnpd(error)) {
    Stop();
    return false;
  }
  return true;
}

bool NetnsLab::BuildNetwork(std::string& error) {
  const std::string gw = Name("gw"), lan = Name("lan"), wan = Name("wan");
  const std::string lan_gw = prefix_ + "-l0", lan_node = prefix_ + "-l1";
  const std::string wan_gw = prefix_ + "-w0", wan_peer = prefix_ + "-w1";
  const std::vector<std::vector<std::string>> steps = {
      {"ip", "netns", "add", lan},
      {"ip", "netns", "add", wan},
      {"ip", "-n", gw, "link", "add", lan_gw, "type", "veth", "peer", "name", lan_node, "netns", lan},
      {"ip", "-n", gw, "link", "add", wan_gw, "type", "veth", "peer", "name", wan_peer, "netns", wan},
      {"ip", "-n", gw, "addr", "add", std::string(kGatewayLan) + "/24", "dev", lan_gw},
      {"ip", "-n", gw, "addr", "add", std::string(kExternalAddress) + "/24", "dev", wan_gw},
      {"ip", "-n", lan, "addr", "add", std::string(kNodeAddress) + "/24", "dev", lan_node},
      {"ip", "-n", wan, "addr", "add", std::string(kWanAddress) + "/24", "dev", wan_peer},
      {"ip", "-n", gw, "link", "set", "lo", "up"},
      {"ip", "-n", lan, "link", "set", "lo", "up"},
      {"ip", "-n", wan, "link", "set", "lo", "up"},
      {"ip", "-n", gw, "link", "set", lan_gw, "up"},
      {"ip", "-n", gw, "link", "set", wan_gw, "up"},
      {"ip", "-n", lan, "link", "set", lan_node, "up"},
      {"ip", "-n", wan, "link", "set", wan_peer, "up"},
      // The LAN reaches the router (and its discovery multicast) through gw.
      {"ip", "-n", lan, "route", "add", "default", "via", kGatewayLan},
  };
  for (const auto& step : steps) {
    if (!Run(step)) {
      error = "network set-up failed at: " + step[3] + " " + step[4] + " " + step[5];
      return false;
    }
  }
  if (!RunInGateway(gw, {"sh", "-c", "echo 1 > /proc/sys/net/ipv4/ip_forward"})) {
    error = "cannot switch on forwarding in the gateway namespace";
    return false;
  }
  // The chains miniupnpd fills: forwarding is dropped unless a mapping lets it through.
  const std::string rules = dir_ / "gateway.nft";
  WriteWholeFile(rules,
                 "table inet orvupnp {\n"
                 "  chain miniupnpd {\n  }\n"
                 "  chain prerouting_miniupnpd {\n  }\n"
                 "  chain postrouting_miniupnpd {\n  }\n"
                 "  chain forward {\n    type filter hook forward priority 0; policy drop;\n    jump miniupnpd\n  }\n"
                 "  chain prerouting {\n    type nat hook prerouting priority -100; policy accept;\n"
                 "    jump prerouting_miniupnpd\n  }\n"
                 "  chain postrouting {\n    type nat hook postrouting priority 100; policy accept;\n"
                 "    jump postrouting_miniupnpd\n  }\n"
                 "}\n");
  if (!RunInGateway(gw, {"nft", "-f", rules})) {
    error = "nftables rules could not be loaded in the gateway namespace";
    return false;
  }
  return true;
}

bool NetnsLab::StartMiniupnpd(std::string& error) {
  const std::string config = dir_ / "miniupnpd.conf";
  WriteWholeFile(config, "ext_ifname=" + prefix_ + "-w0\n" + "listening_ip=" + prefix_ + "-l0\n" +
                             "enable_natpmp=no\n"
                             "enable_upnp=yes\n"
                             "secure_mode=no\n"
                             "uuid=6b2a6b8e-6f1b-4a52-9d61-0c5e5a6f0001\n"
                             "upnp_table_name=orvupnp\n"
                             "upnp_nat_table_name=orvupnp\n"
                             "upnp_forward_chain=miniupnpd\n"
                             "upnp_nat_chain=prerouting_miniupnpd\n"
                             "upnp_nat_postrouting_chain=postrouting_miniupnpd\n"
                             "allow 1024-65535 192.168.77.0/24 1024-65535\n"
                             "deny 0-65535 0.0.0.0/0 0-65535\n");
  const std::string log = dir_ / "miniupnpd.log";
  const std::string pid_file = dir_ / "miniupnpd.pid";
  const std::vector<std::string> args = {"ip", "netns", "exec", Name("gw"), kMiniupnpd, "-d",
                                         "-f", config,  "-P",    pid_file};
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child < 0) {
    error = "fork failed";
    return false;
  }
  if (child == 0) {
    // miniupnpd dies with the test process, however that ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  miniupnpd_ = child;
  g_cleanup.miniupnpd = child;
  // Ready once it serves HTTP (bounded: 100 looks, 50 ms apart).
  for (int look = 0; look < 100; ++look) {
    if (GatewayLog().find("HTTP listening") != std::string::npos) return true;
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
      miniupnpd_ = -1;
      error = "miniupnpd ended at start: " + GatewayLog();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  error = "miniupnpd did not start: " + GatewayLog();
  return false;
}

std::string NetnsLab::GatewayLog() const { return ReadWholeFile(dir_ / "miniupnpd.log"); }

std::string NetnsLab::GatewayRules() const {
  const std::string out = dir_ / "rules.txt";
  if (!RunInGateway(Name("gw"), {"sh", "-c", "nft list table inet orvupnp > " + out})) return {};
  return ReadWholeFile(out);
}

bool NetnsLab::RunIn(const std::string& netns, const std::function<void()>& work) const {
  bool entered = false;
  std::thread thread([&] {
    const int fd = ::open((kNetnsDir + netns).c_str(), O_RDONLY | O_CLOEXEC);
    entered = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
    if (fd >= 0) ::close(fd);
    if (entered) work();
  });
  thread.join();
  return entered;
}

void NetnsLab::Stop() {
  if (!started_) return;
  started_ = false;
  if (miniupnpd_ > 0) {
    ::kill(miniupnpd_, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int look = 0; look < 40 && !ended; ++look) {
      ended = ::waitpid(miniupnpd_, &status, WNOHANG) == miniupnpd_;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (!ended) {
      ::kill(miniupnpd_, SIGKILL);
      ::waitpid(miniupnpd_, &status, 0);
    }
    miniupnpd_ = -1;
  }
  // Removing a namespace removes the veth ends in it and their peers.
  for (const char* role : kRoles) Run({"ip", "netns", "del", Name(role)});
  DisarmSignalCleanup();
}

}  // namespace orv::test
