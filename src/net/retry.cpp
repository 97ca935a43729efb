#include "net/retry.hpp"

#include <chrono>
#include <condition_variable>
#include <string>
#include <vector>

#include "net/endpoint.hpp"
#include "net/net_text.hpp"
#include "net/receive_context.hpp"
#include "net/send.hpp"

namespace orv {
namespace {

// Resends the message in `buffer` while retries are left, each time after
// a longer wait; otherwise the handshake has failed. Must hold the peer lock.
void ResendOrGiveUp(NetworkEndpoint& endpoint, PeerRecord& peer, const uint8_t* buffer, uint32_t length,
                    uint32_t type, const char* again, const std::string& address, std::string& text) {
  SessionSetup& s = *peer.setup;
  if (s.retries == 0) {
    text = FormatText("Timeout for sending requests to %s", address.c_str());
    DiscardSetup(peer.setup);
    return;
  }
  SendFragmented(endpoint, s.ipv4, s.port, peer.user_id, buffer, length, type, &peer.sent_control);
  s.interval = NextResendTicks(s.interval);
  s.countdown = s.interval;
  --s.retries;
  text = FormatText(again, address.c_str());
}

// A call nobody answers pings after 1, 2, 4 and 8 s, then every 10 s, and
// gives up after kPingRetries pings. Must hold the peer lock.
void PingOrGiveUp(NetworkEndpoint& endpoint, PeerRecord& peer, const std::string& address, std::string& text) {
  SessionSetup& s = *peer.setup;
  if (s.retries == 0) {
    text = FormatText("Timeout for sending requests to %s", address.c_str());
    DiscardSetup(peer.setup);
    return;
  }
  SendPing(endpoint, kPingReq, s.ipv4, s.port, peer.user_id, &peer.sent_control);
  s.ping_tick = endpoint.retry_ticks.load();
  s.interval = NextResendTicks(s.interval);
  s.countdown = s.interval;
  --s.retries;
}

// The countdown has run out: act by state. Must hold the peer lock.
void ActOnTimeout(NetworkEndpoint& endpoint, PeerRecord& peer, std::string& text) {
  SessionSetup& s = *peer.setup;
  const std::string address = AddressText(s.ipv4, s.port);
  switch (s.state) {
    case kPinging:
      PingOrGiveUp(endpoint, peer, address, text);
      break;
    case kSesRequesting:
      ResendOrGiveUp(endpoint, peer, s.outgoing.data(), s.outgoing_length, kSesRequest,
                     "Again send session request to %s", address, text);
      break;
    case kSesConfirmation:
      // A calling side that had "confirmed" keeps its setup only until the
      // first sealed datagram; when none comes, the session stands anyway.
      if (peer.connected) DiscardSetup(peer.setup);
      else
        ResendOrGiveUp(endpoint, peer, s.confirmation.data(), s.confirmation_length, kSesConfirm,
                       "Again send session confirmation to %s", address, text);
      break;
    case kPingRequested:
    case kSesRequested:
    case kWaitConfirmation:
      text = FormatText("Timeout for connection from %s", address.c_str());
      DiscardSetup(peer.setup);
      break;
    default:  // "Idle" (gave way, or made and never used) and rejected
      DiscardSetup(peer.setup);
      break;
  }
}

// Every setup counts down, whether the peer holds a session or not: a peer
// that keeps its session while the other side runs a new handshake must
// time that handshake out too. Must hold the peer table lock.
void TickPeer(NetworkEndpoint& endpoint, PeerRecord& peer, std::vector<std::string>& texts) {
  std::unique_lock<std::mutex> lock = TryPeerLock(peer);
  if (PeerBusy(peer, lock) || !peer.setup) return;
  if (peer.setup->countdown > 0) {
    --peer.setup->countdown;
    return;
  }
  std::string text;
  ActOnTimeout(endpoint, peer, text);
  if (!text.empty()) texts.push_back(std::move(text));
}

}  // namespace

void RetryTick(NetworkEndpoint& endpoint) {
  std::vector<std::string> texts;
  std::vector<ConnectOutcome> calls_ended;
  {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    endpoint.retry_ticks.fetch_add(1);
    if (!endpoint.enabled.load()) return;
    for (const auto& peer : endpoint.peers) TickPeer(endpoint, *peer, texts);
    calls_ended = TickAddressCalls(endpoint);
  }
  for (const std::string& text : texts) endpoint.host.LogEvent("Network", text);
  if (calls_ended.empty()) return;
  ConsumerSlot::Lease consumers(endpoint.consumers);
  for (const ConnectOutcome& outcome : calls_ended) {
    endpoint.host.ConnectEnded(outcome);
    if (consumers->conversations) consumers->conversations->ConnectEnded(outcome);
  }
}

void RetryThread(NetworkEndpoint& endpoint, std::stop_token stop) {
  std::mutex lock;
  std::condition_variable_any wake;
  std::unique_lock<std::mutex> guard(lock);
  while (!stop.stop_requested()) {
    // A stop request wakes the wait at once; otherwise each time-out is a tick.
    if (wake.wait_for(guard, stop, std::chrono::milliseconds(kRetryTickMs), [] { return false; })) break;
    if (stop.stop_requested()) break;
    guard.unlock();
    RetryTick(endpoint);
    guard.lock();
  }
}

}  // namespace orv
