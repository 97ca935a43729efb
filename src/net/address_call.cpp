#include "net/address_call.hpp"

#include <mutex>

#include "net/endpoint.hpp"
#include "net/net_text.hpp"
#include "net/send.hpp"
#include "net/session_setup.hpp"

namespace orv {
namespace {

enum class CallProgress { kNoAnswer, kHandshaking, kEstablished };

bool AtAddress(const PeerRecord& peer, uint32_t ipv4, uint16_t port) {
  if (peer.ipv4 == ipv4 && peer.port == port) return true;
  return peer.setup && peer.setup->ipv4 == ipv4 && peer.setup->port == port;
}

// Where the call stands: a connected peer at the address, a handshake
// running there, or nothing. Must hold the peer table lock.
CallProgress Progress(NetworkEndpoint& endpoint, const AddressCall& call, PeerRef& found, bool& answered) {
  CallProgress progress = CallProgress::kNoAnswer;
  for (const auto& peer : endpoint.peers) {
    if (!AtAddress(*peer, call.ipv4, call.port)) continue;
    answered = true;
    if (peer->connected && peer->ipv4 == call.ipv4 && peer->port == call.port) {
      CopyUserId(found.user_id, peer->user_id);
      found.ipv4 = call.ipv4;
      found.port = call.port;
      return CallProgress::kEstablished;
    }
    // A setup past pinging: its own resends and time-outs carry it.
    std::unique_lock<std::mutex> lock(peer->peer_lock, std::try_to_lock);
    if (!lock.owns_lock() || (peer->setup && peer->setup->state >= kSesRequesting && peer->setup->state != kRejected))
      progress = CallProgress::kHandshaking;
  }
  return progress;
}

void Ping(NetworkEndpoint& endpoint, AddressCall& call, uint64_t now) {
  const uint32_t nobody[kUserIdWords] = {};  // the user there is not known yet
  SendPing(endpoint, kPingReq, call.ipv4, call.port, nobody, nullptr);
  call.interval = NextResendTicks(call.interval);
  call.next_ping = now + call.interval;
}

// True when the call is over; `outcome` then says how. Must hold the peer
// table lock.
bool TickCall(NetworkEndpoint& endpoint, AddressCall& call, uint64_t now, ConnectOutcome& outcome) {
  outcome.ipv4 = call.ipv4;
  outcome.port = call.port;
  bool answered = false;
  const CallProgress progress = Progress(endpoint, call, outcome.peer, answered);
  if (progress == CallProgress::kEstablished) {
    outcome.established = true;
    return true;
  }
  const uint64_t age = now - call.started;
  const bool over = age >= kAddressCallLimitTicks || (age >= kAddressCallTicks && progress == CallProgress::kNoAnswer);
  if (over) {
    const std::string address = AddressText(call.ipv4, call.port);
    outcome.reason = answered ? "the session with " + address + " could not be set up"
                              : "no answer from " + address;
    return true;
  }
  if (progress == CallProgress::kNoAnswer && now >= call.next_ping) Ping(endpoint, call, now);
  return false;
}

}  // namespace

bool ConnectByAddress(NetworkEndpoint& endpoint, uint32_t ipv4, uint16_t port) {
  if (!endpoint.enabled.load()) return false;
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  const uint64_t now = endpoint.retry_ticks.load();
  AddressCall* call = nullptr;
  for (AddressCall& c : endpoint.address_calls)
    if (c.ipv4 == ipv4 && c.port == port) call = &c;
  if (!call) call = &endpoint.address_calls.emplace_back();
  *call = AddressCall{ipv4, port, now, now, 0};
  Ping(endpoint, *call, now);
  return true;
}

std::vector<ConnectOutcome> TickAddressCalls(NetworkEndpoint& endpoint) {
  std::vector<ConnectOutcome> ended;
  const uint64_t now = endpoint.retry_ticks.load();
  auto& calls = endpoint.address_calls;
  for (size_t i = 0; i < calls.size();) {
    ConnectOutcome outcome;
    if (!TickCall(endpoint, calls[i], now, outcome)) {
      ++i;
      continue;
    }
    ended.push_back(std::move(outcome));
    calls.erase(calls.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return ended;
}

}  // namespace orv
