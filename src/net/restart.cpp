// RestartNetwork: the network half of "Bootstrap".
#include <mutex>

#include "net/endpoint.hpp"

namespace orv {
namespace {

// Every session dropped and every setup discarded. A setup whose peer lock
// a handshake worker holds (perhaps while the password is asked for) is
// marked instead: the worker discards it when it gets on, and installs
// nothing. Must hold the peer table lock.
void DropAllSessions(NetworkEndpoint& endpoint) {
  for (const auto& peer : endpoint.peers) {
    peer->connected = false;
    SessionCipherReset(peer->cipher);
    std::unique_lock<std::mutex> lock(peer->peer_lock, std::try_to_lock);
    if (lock.owns_lock()) {
      DiscardSetup(peer->setup);
      peer->discard_setup.store(false);
    } else {
      peer->discard_setup.store(true);
    }
  }
}

}  // namespace

void RestartNetwork(NetworkEndpoint& endpoint) {
  std::lock_guard<std::mutex> restart(endpoint.restart_lock);
  PasswordBytes password;
  const HostKey key(endpoint.host);
  if (key.record().loaded) endpoint.host.GetPassword(password);
  {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    endpoint.enabled.store(false);
  }
  // Nothing reads the session request while the endpoint is disabled: the
  // receive thread checks the flag under the table lock before it handles
  // anything.
  if (!password.empty() && endpoint.initiator) {
    endpoint.session_request_length =
        static_cast<uint32_t>(HandshakeStart(*endpoint.initiator, endpoint.session_request.data()));
    endpoint.own_powers.For(key.record().certificate);  // a new key gets its table now
  }
  password.Clear();
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  DropAllSessions(endpoint);
  endpoint.enabled.store(true);
}

}  // namespace orv
