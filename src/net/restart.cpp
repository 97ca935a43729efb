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

NetworkStart RestartNetwork(NetworkEndpoint& endpoint) {
  std::lock_guard<std::mutex> restart(endpoint.restart_lock);
  PasswordBytes password;
  const HostKey key(endpoint.host);
  const bool loaded = key.record().loaded;
  const bool has_password = loaded && endpoint.host.GetPassword(password);
  password.Clear();
  {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    endpoint.enabled.store(false);
  }
  // Nothing reads the session request while the endpoint is disabled: the
  // receive thread checks the flag under the table lock before it handles
  // anything.
  if (has_password && endpoint.initiator) BuildSessionRequest(endpoint, key.record());
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  if (loaded && !SameUserId(endpoint.own_id.Get().data(), key.record().certificate.user_id)) {
    // Another key: the old identity's sessions end as at exit, and peers
    // hear the new UserId from now on.
    SendTerminateToConnected(endpoint);
    endpoint.own_id.Set(key.record().certificate.user_id);
  }
  DropAllSessions(endpoint);
  if (has_password) LaunchEndpointThreads(endpoint);
  if (!endpoint.threads_started) {
    if (!endpoint.bound) return NetworkStart::kNoSocket;
    return loaded ? NetworkStart::kNoPassword : NetworkStart::kNoKey;
  }
  endpoint.enabled.store(true);
  return NetworkStart::kListening;
}

}  // namespace orv
