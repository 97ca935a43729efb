// Session events for the control interface. The network layer keeps its
// sessions in the peer table and reports them only as log lines, so the
// watch looks at the table once a second on the interface thread and emits
//   event session_established user=ID address=IP:PORT name=NAME
//   event session_ended user=ID address=IP:PORT
// for every peer that gained or lost its session since the last look. A
// session that ends and comes back between two looks goes unseen.
#pragma once

#include <string>
#include <vector>

#include "daemon/event_bus.hpp"
#include "net/endpoint.hpp"

namespace orv {

struct SessionEntry {
  PeerRef ref;
  std::string name;
};

struct SessionChanges {
  std::vector<SessionEntry> established;
  std::vector<SessionEntry> ended;
};

// Sessions are told apart by UserId.
SessionChanges DiffSessions(const std::vector<SessionEntry>& before, const std::vector<SessionEntry>& now);

class SessionWatch {
 public:
  SessionWatch(NetworkEndpoint& endpoint, EventBus& bus) : endpoint_(endpoint), bus_(bus) {}

  // One look at the peer table; emits the changes since the last.
  void Tick();

 private:
  NetworkEndpoint& endpoint_;
  EventBus& bus_;
  std::vector<SessionEntry> sessions_;
};

}  // namespace orv
