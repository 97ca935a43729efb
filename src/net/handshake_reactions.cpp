#include "net/handshake_reactions.hpp"

#include <cstring>

#include "net/endpoint.hpp"
#include "net/fragment.hpp"
#include "net/handshake_workers.hpp"
#include "net/net_text.hpp"
#include "net/send.hpp"
#include "net/stale_records.hpp"

namespace orv {
namespace {

// The handler's view of one datagram: the peer, its lock and setup.
struct Reaction {
  NetworkEndpoint& endpoint;
  const Arrival& arrival;
  Aftermath& after;
  PeerRecord& peer;
  std::unique_lock<std::mutex> lock;
  std::string address;

  std::unique_ptr<SessionSetup>& setup() { return peer.setup; }
  bool Busy() const { return PeerBusy(peer, lock); }
  void Log(std::string text) { after.log_text = std::move(text); }

  void Send(uint32_t type) {
    SendSignal(endpoint, type, arrival.sender.ipv4, arrival.sender.port, peer.user_id, &peer.sent_control);
  }
  void SendToSetup(const uint8_t* message, size_t length, uint32_t type) {
    SendFragmented(endpoint, setup()->ipv4, setup()->port, peer.user_id, message, length, type, &peer.sent_control);
  }
  // The datagram comes from where this side's handshake runs.
  bool FromSetup() const {
    return arrival.sender.ipv4 == peer.setup->ipv4 && arrival.sender.port == peer.setup->port;
  }
  void EnsureSetup() {
    if (!setup()) setup() = NewSessionSetup();
  }
  void TakeAddress() {
    setup()->ipv4 = arrival.sender.ipv4;
    setup()->port = arrival.sender.port;
  }
  void TakePing() {
    const PingInfo ping = ReadPing(arrival.data, arrival.length);
    setup()->remote_version = ping.version;
    setup()->remote_build = ping.build;
  }
  // Conflict rule: the side with the greater first UserId word keeps calling.
  bool SenderWins() const { return arrival.sender.user_id[0] > endpoint.own_id.Get()[0]; }
  // Collects one fragment; true when the message is complete (the mask is
  // then cleared for the next one).
  bool Collect() {
    // A side that answers collects requests resent to it and the
    // confirmation in one buffer: fragments of one message never complete
    // another.
    if (setup()->collecting_type != arrival.type) {
      setup()->fragment_mask = 0;
      setup()->collecting_type = arrival.type;
    }
    const bool complete = ReassembleFragment(arrival.type_word, arrival.data + kHeaderBytes,
                                             arrival.length - kUserIdBytes, *setup());
    if (complete) setup()->fragment_mask = 0;
    return complete;
  }
};

// "ping_resp" back: state 4, 5 s to wait for the request.
void AnswerPing(Reaction& r) {
  r.setup()->state = kPingRequested;
  r.setup()->countdown = kPingAnswerTicks;
  r.TakeAddress();
  SendPing(r.endpoint, kPingResp, r.arrival.sender.ipv4, r.arrival.sender.port, r.peer.user_id,
           &r.peer.sent_control);
}

// The calling side keeps its setup after "confirmed" until the first sealed
// datagram. A peer that pings while this side holds its session has lost
// that session (it restarted, or gave it up): the finished handshake is not
// a call of this side's, and must not meet the conflict rule.
void DropFinishedHandshake(Reaction& r) {
  if (r.peer.connected && r.setup() && r.setup()->state == kSesConfirmation) DiscardSetup(r.setup());
}

// A peer that pings while this side answers it has lost track of the
// handshake (or runs a new one): it gets its answer, and the handshake
// here goes on; a new request from it replaces the one answered.
void AnswerPingKeepingState(Reaction& r) {
  SendPing(r.endpoint, kPingResp, r.arrival.sender.ipv4, r.arrival.sender.port, r.peer.user_id,
           &r.peer.sent_control);
}

void OnPingRequest(Reaction& r) {
  if (r.Busy()) return;
  DropFinishedHandshake(r);
  r.EnsureSetup();
  r.TakePing();
  if (r.setup()->remote_version != kProtocolVersion) {
    r.Send(kReject);
    r.Log(FormatText("Another protocol version %d on %s", static_cast<int>(r.setup()->remote_version),
                     r.address.c_str()));
    DiscardSetup(r.setup());
    return;
  }
  switch (r.setup()->state) {
    case kIdle:
    case kPingRequested:
    case kRejected:
      AnswerPing(r);
      break;
    case kPinging:
    case kSesRequesting:
    case kSesConfirmation:
      if (r.SenderWins()) {
        AnswerPing(r);
        r.Log(FormatText("Conflicted ping requrest from %s, switched to passive mode", r.address.c_str()));
      } else {
        r.Send(kReject);
        r.Log(FormatText("Conflicted ping requrest from %s, request rejected", r.address.c_str()));
      }
      break;
    default:
      AnswerPingKeepingState(r);
      break;
  }
}

void OnPingResponse(Reaction& r) {
  if (r.Busy()) return;
  if (r.peer.connected) RemoveStaleRecords(r.endpoint, r.peer, r.arrival.sender, *r.arrival.consumers);
  r.EnsureSetup();
  SessionSetup& s = *r.setup();
  // A late or repeated answer to a ping of a call already under way, or
  // finished, starts nothing.
  if (s.state != kPinging && (s.state != kIdle || r.peer.connected)) return;
  r.TakePing();
  if (s.remote_version != kProtocolVersion) {
    r.Log(FormatText("Another protocol version %d on %s", static_cast<int>(s.remote_version), r.address.c_str()));
    DiscardSetup(r.setup());
    return;
  }
  s.state = kSesRequesting;
  s.interval = kFirstResendTicks;
  s.countdown = s.interval;
  s.retries = kHandshakeRetries;
  r.TakeAddress();
  HandshakeClone(s.initiator, *r.endpoint.initiator);
  std::memcpy(s.outgoing.data(), r.endpoint.session_request.data(), r.endpoint.session_request_length);
  s.outgoing_length = r.endpoint.session_request_length;
  r.SendToSetup(s.outgoing.data(), s.outgoing_length, kSesRequest);
  r.Log(FormatText("Send session request to %s", r.address.c_str()));
}

bool RepeatsAnsweredRequest(const SessionSetup& s) {
  return s.stored_length && s.outgoing_length && s.stored_length == s.reassembled_length &&
         std::memcmp(s.stored.data(), s.reassembly.data(), s.stored_length) == 0;
}

// A request answered already gets the same response again: the calling
// side resends its request when (part of) the response was lost. A
// different request (the peer made a new one) is answered anew.
void CollectRequest(Reaction& r) {
  if (!r.Collect()) return;
  SessionSetup& s = *r.setup();
  if (RepeatsAnsweredRequest(s)) {
    r.SendToSetup(s.outgoing.data(), s.outgoing_length, kSesResponse);
    r.Log(FormatText("Same session request from %s", r.address.c_str()));
    s.reassembled_length = 0;
    s.countdown = kLongWaitTicks;
    return;
  }
  s.countdown = kAnsweringTicks;
  StartHandshakeWorker(r.endpoint, r.arrival.peer, WorkerKind::kAnswering);
}

// A request with no handshake here: the setup that answered it timed out
// or failed, or this side gave way in a conflict. Only a peer of this
// protocol version sends requests.
void AnswerUnexpectedRequest(Reaction& r) {
  r.EnsureSetup();
  SessionSetup& s = *r.setup();
  if (s.remote_version == 0) s.remote_version = kProtocolVersion;
  s.state = kSesRequested;
  s.countdown = kLongWaitTicks;
  r.TakeAddress();
  CollectRequest(r);
}

void OnSessionRequest(Reaction& r) {
  if (r.Busy()) {
    r.Send(kBusy);
    return;
  }
  if (!r.setup() || r.setup()->state == kIdle) {
    AnswerUnexpectedRequest(r);
    return;
  }
  SessionSetup& s = *r.setup();
  switch (s.state) {
    case kPinging:
    case kSesRequesting:
    case kSesConfirmation:
      if (r.SenderWins()) {
        // The own call is dropped, and the peer's request is answered from
        // this fragment on.
        s.state = kIdle;
        s.fragment_mask = 0;
        AnswerUnexpectedRequest(r);
        r.Log(FormatText("Conflicted session requrest from %s, switched to passive mode", r.address.c_str()));
      } else {
        r.Send(kReject);
        r.Log(FormatText("Conflicted session requrest from %s, request rejected", r.address.c_str()));
      }
      break;
    case kPingRequested:
      s.state = kSesRequested;
      s.countdown = kLongWaitTicks;
      CollectRequest(r);
      break;
    case kSesRequested:
    case kWaitConfirmation:
      CollectRequest(r);
      break;
    default:
      break;
  }
}

void OnSessionResponse(Reaction& r) {
  if (r.Busy() || !r.setup()) return;
  SessionSetup& s = *r.setup();
  if (s.state == kSesRequesting) {
    if (r.Collect()) StartHandshakeWorker(r.endpoint, r.arrival.peer, WorkerKind::kResponse);
  } else if (s.state == kSesConfirmation && r.Collect()) {
    // The peer sent its response again: it has not had the confirmation.
    // Sent once per whole response, not once per fragment.
    r.SendToSetup(s.confirmation.data(), s.confirmation_length, kSesConfirm);
  }
}

// The last fragment of the confirmation that made the session, again: the
// calling side missed "confirmed".
void ConfirmAgain(Reaction& r) {
  const uint32_t count = FragmentCountOf(r.arrival.type_word);
  if (!r.peer.connected || !r.peer.confirm_tail_hash || FragmentIndexOf(r.arrival.type_word) + 1 != count) return;
  const uint8_t* bytes = r.arrival.data + kHeaderBytes;
  if (FragmentBytesHash(bytes, r.arrival.length - kHeaderBytes) != r.peer.confirm_tail_hash) return;
  if (r.arrival.sender.ipv4 != r.peer.ipv4 || r.arrival.sender.port != r.peer.port) return;
  r.Send(kConfirmed);
}

void OnSessionConfirm(Reaction& r) {
  if (r.Busy()) {
    r.Send(kBusy);
    return;
  }
  if (!r.setup() || r.setup()->state != kWaitConfirmation) {
    ConfirmAgain(r);
    return;
  }
  if (r.Collect()) StartHandshakeWorker(r.endpoint, r.arrival.peer, WorkerKind::kConfirmation);
}

void OnConfirmed(Reaction& r) {
  if (r.Busy() || !r.setup() || r.setup()->state != kSesConfirmation) return;
  ConfirmBySession(r.peer, r.address, r.after, r.endpoint.retry_ticks.load());
}

// The peer is working on what it had from us: the next resend waits a
// little, not the whole long wait.
void OnBusy(Reaction& r) {
  if (r.Busy() || !r.setup() || !r.FromSetup()) return;
  if (r.setup()->state == kSesRequesting || r.setup()->state == kSesConfirmation) r.setup()->countdown = kBusyWaitTicks;
}

// A "reject" refuses this side's own call, so it counts only while this
// side is calling. After giving way in a ping conflict this side answers
// the peer's call (state 4 and on); the peer's "reject" of the call given
// up arrives then and must not stop the handshake that is running.
void OnReject(Reaction& r) {
  if (r.Busy() || !r.setup() || !r.FromSetup()) return;
  const uint32_t state = r.setup()->state;
  if (state != kPinging && state != kSesRequesting && state != kSesConfirmation) return;
  r.setup()->state = kRejected;
  r.setup()->countdown = kLongWaitTicks;
  r.Log(FormatText("Rejected connection to %s", r.address.c_str()));
}

// Taken only from the address the session runs on: anyone can write a
// UserId into a header.
void OnTerminate(Reaction& r) {
  if (!r.peer.connected || !r.lock.owns_lock()) return;
  if (r.arrival.sender.ipv4 != r.peer.ipv4 || r.arrival.sender.port != r.peer.port) return;
  DiscardSetup(r.setup());
  r.peer.connected = false;
  SessionCipherReset(r.peer.cipher);
  r.Log(FormatText("Session rerminated by %s", r.address.c_str()));
  r.after.session_ended = true;
}

}  // namespace

bool InstallSession(PeerRecord& peer, HandshakeCommon& context, const SessionSetup& setup, uint64_t now_tick) {
  if (!HandshakeExport(context, peer.cipher)) return false;
  peer.connected = true;
  peer.ipv4 = setup.ipv4;
  peer.port = setup.port;
  peer.sent_without_reply.store(0);
  peer.last_reply_tick.store(now_tick);
  peer.confirm_tail_hash = 0;
  return true;
}

void ConfirmBySession(PeerRecord& peer, const std::string& address, Aftermath& after, uint64_t now_tick) {
  if (!InstallSession(peer, peer.setup->initiator, *peer.setup, now_tick)) return;
  after.log_text = FormatText("Session confirmed by %s", address.c_str());
}

void ReactToHandshake(NetworkEndpoint& endpoint, const Arrival& arrival, Aftermath& after) {
  PeerRecord& peer = *arrival.peer;
  peer.received_control.fetch_add(1);
  Reaction r{endpoint, arrival, after, peer, TryPeerLock(peer), AddressText(arrival.sender.ipv4, arrival.sender.port)};
  switch (arrival.type) {
    case kPingReq: OnPingRequest(r); break;
    case kPingResp: OnPingResponse(r); break;
    case kSesRequest: OnSessionRequest(r); break;
    case kSesResponse: OnSessionResponse(r); break;
    case kSesConfirm: OnSessionConfirm(r); break;
    case kConfirmed: OnConfirmed(r); break;
    case kBusy: OnBusy(r); break;
    case kReject: OnReject(r); break;
    case kSesTerminate: OnTerminate(r); break;
    default: break;
  }
}

}  // namespace orv
