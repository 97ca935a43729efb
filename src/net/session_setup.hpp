// The handshake in progress with one peer: at most one per PeerRecord,
// owned by it and guarded by its peer lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "crypto/handshake.hpp"
#include "net/datagram.hpp"

namespace orv {

enum SetupState : uint32_t {
  kIdle = 0,              // either side: created, or gave way in a request conflict
  kPinging = 1,           // calling: "ping_req" sent
  kSesRequesting = 2,     // calling: session request sent
  kSesConfirmation = 3,   // calling: confirmation sent
  kPingRequested = 4,     // answering: "ping_resp" sent
  kSesRequested = 5,      // answering: collecting the session request
  kWaitConfirmation = 6,  // answering: response sent
  kRejected = 7,          // calling: the peer sent "reject"
};

// Ticks of the retry thread (100 ms each).
constexpr uint32_t kPingAnswerTicks = 50;
constexpr uint32_t kAnsweringTicks = 200;
constexpr uint32_t kLongWaitTicks = 300;
// A calling side resends its ping, request or confirmation after 1 s, then
// after twice the previous wait, up to 10 s between sends: on a lossy link
// a lost fragment costs a second, not ten, while a peer that is gone is
// not flooded.
constexpr uint32_t kFirstResendTicks = 10;
constexpr uint32_t kResendTicks = 100;
constexpr uint32_t kHandshakeRetries = 10;
// Pings of a call that nobody answers; then the setup goes, and the next
// send starts a new one.
constexpr uint32_t kPingRetries = 12;
// "busy": the peer is working on the message already; the next resend
// waits this long rather than the whole long wait.
constexpr uint32_t kBusyWaitTicks = 20;
// Pings that sends without a session would start go out at most this often.
constexpr uint32_t kPingGapTicks = 10;

// The wait before the next resend, after `interval` ticks were waited.
uint32_t NextResendTicks(uint32_t interval);

using MessageBuffer = std::array<uint8_t, kMaxDatagram>;

struct SessionSetup {
  SessionSetup();
  ~SessionSetup();
  SessionSetup(const SessionSetup&) = delete;
  SessionSetup& operator=(const SessionSetup&) = delete;

  uint32_t ipv4 = 0;  // where the handshake runs
  uint16_t port = 0;
  uint32_t remote_version = 0;  // from the peer's last ping
  uint32_t remote_build = 0;
  uint32_t state = kIdle;
  uint32_t countdown = 0;
  uint32_t retries = 0;
  uint32_t interval = 0;   // the wait before the last resend, in ticks
  uint64_t ping_tick = 0;  // the retry tick of the last ping sent
  uint32_t fragment_mask = 0;
  uint32_t collecting_type = 0;  // the datagram type whose fragments the mask holds
  MessageBuffer reassembly{};
  MessageBuffer stored{};        // the last message received and answered
  MessageBuffer outgoing{};      // calling: the request; answering: the response
  MessageBuffer confirmation{};  // calling side only
  uint32_t reassembled_length = 0;
  uint32_t stored_length = 0;
  uint32_t outgoing_length = 0;
  uint32_t confirmation_length = 0;
  HandshakeInitiator initiator;  // calling side
  HandshakeResponder responder;  // answering side
  // A completed message waits for its worker thread. Until the worker holds
  // the peer lock the setup counts as busy, exactly as while the worker
  // runs, so that no second worker starts for the same message and the
  // retry thread does not time the setup out under it.
  bool worker_pending = false;
};

// A new setup, every field zero (state "Idle"), with fresh handshake contexts.
std::unique_ptr<SessionSetup> NewSessionSetup();

// Clears both handshake contexts and frees the setup. Must hold the peer lock.
void DiscardSetup(std::unique_ptr<SessionSetup>& setup);

// "Idle", "Pinging", ... "Wait confirmation"; "" for state 7 and above.
const char* SetupStateName(uint32_t state);

}  // namespace orv
