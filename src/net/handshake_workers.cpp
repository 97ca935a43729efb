#include "net/handshake_workers.hpp"

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/compute_slots.hpp"
#include "net/endpoint.hpp"
#include "net/fragment.hpp"
#include "net/handshake_reactions.hpp"
#include "net/net_text.hpp"
#include "net/send.hpp"

namespace orv {
namespace {

constexpr char kIdentityWarning[] = "USER ID IS NOT THE SAME AS KEY FINGERPTING";

struct Worker {
  NetworkEndpoint& endpoint;
  std::shared_ptr<PeerRecord> peer;
  std::unique_lock<std::mutex> lock;  // the peer lock
  PasswordBytes password;
  bool has_password = false;          // an old key's password may be empty
  std::optional<HostKey> key;         // the user's key, taken with the password
  SessionSetup* setup = nullptr;
  std::string address;                // the setup's, for the texts
  std::string text;                   // logged with source "Network" at the end
  std::string warning;                // shown in a "Warning" box at the end
  bool confirm = false;               // "confirmed" goes to the setup's address at the end
  uint32_t confirm_ipv4 = 0;
  uint16_t confirm_port = 0;

  void Discard() {
    DiscardSetup(peer->setup);
    setup = nullptr;
  }
  void SendSignalToSetup(uint32_t type) {
    SendSignal(endpoint, type, setup->ipv4, setup->port, peer->user_id, &peer->sent_control);
  }
  void SendToSetup(const uint8_t* message, size_t length, uint32_t type) {
    SendFragmented(endpoint, setup->ipv4, setup->port, peer->user_id, message, length, type, &peer->sent_control);
  }
  // The message is answered: keep it, and start collecting the next one.
  void StoreAnswered() {
    std::memcpy(setup->stored.data(), setup->reassembly.data(), setup->reassembled_length);
    setup->stored_length = setup->reassembled_length;
    setup->reassembled_length = 0;
    setup->fragment_mask = 0;
  }
};

void FetchKeyAndPassword(Worker& w) {
  w.key.emplace(w.endpoint.host);
  if (w.key->record().loaded) w.has_password = w.endpoint.host.GetPassword(w.password);
}

// The signing table of the user's key; none without a key (the handshake
// then fails for want of a password anyway).
std::shared_ptr<const SignerPowers> OwnPowers(Worker& w) {
  const KeyRecord& key = w.key->record();
  if (!key.loaded || !w.has_password) return nullptr;
  return w.endpoint.own_powers.For(key.certificate);
}

// The setup the worker was started for, or null when it went meanwhile (or
// the record left the table, or RestartNetwork asked for it to go).
bool Claim(Worker& w) {
  std::unique_ptr<SessionSetup>& setup = w.peer->setup;
  if (!setup) return false;
  setup->worker_pending = false;
  if (w.peer->removed.load() || w.peer->discard_setup.exchange(false)) {
    DiscardSetup(setup);
    return false;
  }
  w.setup = setup.get();
  w.address = AddressText(setup->ipv4, setup->port);
  return true;
}

// The peer's name from its certificate's user info. Must hold the peer
// table lock.
void TakePeerName(PeerRecord& peer, const Certificate& cert) {
  const size_t bytes = cert.info_length < kMaxNameBytes ? cert.info_length : kMaxNameBytes;
  peer.name.fill(0);
  for (size_t i = 0; i + 1 < bytes; i += 2)
    peer.name[i / 2] = static_cast<char16_t>(cert.info[i] | (cert.info[i + 1] << 8));
  peer.name_length = static_cast<uint32_t>(bytes & ~size_t{1});
}

std::string CertificateName(const Certificate& cert) {
  char16_t units[kNameUnits] = {};
  const size_t bytes = cert.info_length < kMaxNameBytes ? cert.info_length : kMaxNameBytes;
  for (size_t i = 0; i + 1 < bytes; i += 2) units[i / 2] = static_cast<char16_t>(cert.info[i] | (cert.info[i + 1] << 8));
  return NameUtf8(units, bytes);
}

// Names the peer and checks that the certificate is the one its headers
// claim; a peer that fails is no longer connected. The warning text is
// logged and shown.
bool CheckIdentity(Worker& w, const Certificate& cert) {
  const bool same = SameUserId(cert.user_id, w.peer->user_id);
  std::lock_guard<std::mutex> table(w.endpoint.table_lock);
  TakePeerName(*w.peer, cert);
  if (!same) {
    w.peer->connected = false;
    SessionCipherReset(w.peer->cipher);
    w.text = IdentityText(kIdentityWarning, w.address, CertificateName(cert), w.setup->remote_build, cert.user_id);
    w.warning = w.text;
  }
  return same;
}

void Answer(Worker& w) {
  SessionSetup& s = *w.setup;
  if (s.remote_version != kProtocolVersion) {
    w.SendSignalToSetup(kReject);
    w.text = FormatText("Another protocol version on %s, request is ignored", w.address.c_str());
    w.Discard();
    return;
  }
  const KeyRecord& key = w.key->record();
  const auto powers = OwnPowers(w);
  const size_t n = s.reassembled_length == kRequestBytes
                       ? HandshakeOnRequest(s.responder, s.outgoing.data(), s.reassembly.data(), key,
                                            w.password.data(), w.password.size(), powers.get())
                       : 0;
  if (n == 0) {
    w.text = FormatText("Wrong Session request from %s", w.address.c_str());
    w.Discard();
    return;
  }
  s.outgoing_length = static_cast<uint32_t>(n);
  w.SendToSetup(s.outgoing.data(), n, kSesResponse);
  s.state = kWaitConfirmation;
  s.countdown = kLongWaitTicks;
  w.StoreAnswered();
  w.text = FormatText("Wait confirmation because of successful session request from %s", w.address.c_str());
}

void Respond(Worker& w) {
  SessionSetup& s = *w.setup;
  if (s.remote_version != kProtocolVersion) {
    w.text = FormatText("Another protocol version on %s", w.address.c_str());
    w.Discard();
    return;
  }
  const KeyRecord& key = w.key->record();
  const auto powers = OwnPowers(w);
  const size_t n = s.reassembled_length == kResponseBytes
                       ? HandshakeOnResponse(s.initiator, s.confirmation.data(), s.reassembly.data(), key,
                                             w.password.data(), w.password.size(), powers.get())
                       : 0;
  if (n == 0 || !s.initiator.established) {
    w.text = FormatText("Wrong Session response from %s", w.address.c_str());
    w.Discard();
    return;
  }
  const Certificate& cert = s.initiator.peer_certificate;
  if (!CheckIdentity(w, cert)) {
    w.Discard();
    return;
  }
  s.state = kSesConfirmation;
  s.interval = kFirstResendTicks;
  s.countdown = s.interval;
  s.retries = kHandshakeRetries;
  s.confirmation_length = static_cast<uint32_t>(n);
  w.text = IdentityText("Successful session response", w.address, CertificateName(cert), s.remote_build,
                        cert.user_id);
  w.SendToSetup(s.confirmation.data(), n, kSesConfirm);
  w.StoreAnswered();
}

// Must hold the peer lock; takes the table lock to install the session.
bool InstallConfirmed(Worker& w) {
  std::lock_guard<std::mutex> table(w.endpoint.table_lock);
  if (w.peer->removed.load() || w.peer->discard_setup.load()) return false;
  if (!InstallSession(*w.peer, w.setup->responder, *w.setup, w.endpoint.retry_ticks.load())) return false;
  w.peer->confirm_tail_hash = LastFragmentHash(w.setup->reassembly.data(), w.setup->reassembled_length);
  return true;
}

void Confirm(Worker& w) {
  SessionSetup& s = *w.setup;
  const bool accepted = s.reassembled_length == kConfirmBytes &&
                        HandshakeOnConfirm(s.responder, s.reassembly.data()) == 1 && s.responder.established;
  if (!accepted) {
    w.text = FormatText("Wrong Session confirmation from %s", w.address.c_str());
  } else {
    const Certificate& cert = s.responder.peer_certificate;
    if (CheckIdentity(w, cert) && InstallConfirmed(w)) {
      // Sent once the peer lock is given back: the peer may start a new
      // handshake the moment it has this, and must not find this side busy.
      w.confirm = true;
      w.confirm_ipv4 = s.ipv4;
      w.confirm_port = s.port;
      w.text = IdentityText("Successful session confirmation", w.address, CertificateName(cert), s.remote_build,
                            cert.user_id);
    }
  }
  w.Discard();
}

// A setup that RestartNetwork (or the record's removal) asked to go while
// this worker held the peer lock is left to whoever takes the lock next:
// every taker honours the request before it looks at the setup, and the
// session itself is installed only under the table lock, where the request
// is seen. So the lock is given back at once, and the peer is busy no
// longer than the work lasts.
void Release(Worker& w) { w.lock.unlock(); }

void ShowWarning(NetworkEndpoint& endpoint, const std::string& text) {
  NetworkHost& host = endpoint.host;
  endpoint.workers.Launch([&host, text] { host.ShowMessage("Warning", text); });
}

void RunWorker(NetworkEndpoint& endpoint, std::shared_ptr<PeerRecord> peer, WorkerKind kind) {
  Worker w{endpoint, std::move(peer), {}, {}, false, {}, nullptr, {}, {}, {}, false, 0, 0};
  w.lock = std::unique_lock<std::mutex>(w.peer->peer_lock);
  if (kind != WorkerKind::kConfirmation) FetchKeyAndPassword(w);
  {
    // Taken after the password, which may wait for the user.
    const ComputeSlot slot;
    if (Claim(w)) {
      switch (kind) {
        case WorkerKind::kAnswering: Answer(w); break;
        case WorkerKind::kResponse: Respond(w); break;
        case WorkerKind::kConfirmation: Confirm(w); break;
      }
    }
  }
  w.password.Clear();
  w.key.reset();
  Release(w);
  if (w.confirm)
    SendSignal(endpoint, kConfirmed, w.confirm_ipv4, w.confirm_port, w.peer->user_id, &w.peer->sent_control);
  if (!w.text.empty()) endpoint.host.LogEvent("Network", w.text);
  if (!w.warning.empty()) ShowWarning(endpoint, w.warning);
}

}  // namespace

void StartHandshakeWorker(NetworkEndpoint& endpoint, const std::shared_ptr<PeerRecord>& peer, WorkerKind kind) {
  SessionSetup& setup = *peer->setup;
  setup.worker_pending = true;
  const bool started =
      !endpoint.stopping.load() && endpoint.workers.Launch([&endpoint, peer, kind] { RunWorker(endpoint, peer, kind); });
  if (!started) {
    setup.worker_pending = false;
    setup.fragment_mask = 0;
  }
}

}  // namespace orv
