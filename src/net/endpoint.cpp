#include "net/endpoint.hpp"

#include "crypto/handshake.hpp"
#include "net/receive_loop.hpp"
#include "net/retry.hpp"
#include "net/send.hpp"

namespace orv {
namespace {

// Socket created, bound and set up; the failures the person must see are
// shown. False when the endpoint is to run without network.
bool OpenSocket(NetworkEndpoint& endpoint) {
  if (!endpoint.socket.Create()) {
    endpoint.host.ShowMessage("Error", "Can't create socket");
    return false;
  }
  if (!endpoint.socket.Bind(endpoint.bind_ipv4, endpoint.local_port)) {
    endpoint.host.ShowMessage("Error", "Can't bind socket to local port");
    endpoint.socket.Close();
    return false;
  }
  endpoint.local_port = endpoint.socket.LocalPort();
  endpoint.socket.SetReceiveTimeout(kReceiveTimeoutMs);
  endpoint.socket.SetReceiveBuffer(kReceiveBufferBytes);
  endpoint.bound = true;
  return true;
}

// With a key and a password: the session request, then both threads.
void StartThreads(NetworkEndpoint& endpoint) {
  const HostKey key(endpoint.host);
  if (!key.record().loaded) return;
  PasswordBytes password;
  if (!endpoint.host.GetPassword(password)) return;
  password.Clear();
  BuildSessionRequest(endpoint, key.record());
  LaunchEndpointThreads(endpoint);
}

void StopThreads(NetworkEndpoint& endpoint) {
  endpoint.stopping.store(true);
  for (std::jthread* t : {&endpoint.receive_thread, &endpoint.retry_thread}) {
    t->request_stop();
    if (t->joinable()) t->join();
  }
  // Handshake workers and warning boxes use the records and the host.
  endpoint.workers.JoinAll();
}

// "ses_terminate" to every connected peer; every record destroyed.
void TerminateSessions(NetworkEndpoint& endpoint) {
  std::lock_guard<std::mutex> table(endpoint.table_lock);
  SendTerminateToConnected(endpoint);
  for (const auto& peer : endpoint.peers) DestroyPeerRecord(*peer);
  endpoint.peers.clear();
}

}  // namespace

void SendTerminateToConnected(NetworkEndpoint& endpoint) {
  const OwnUserId::Words own = endpoint.own_id.Get();
  for (const auto& peer : endpoint.peers) {
    if (!peer->connected) continue;
    uint8_t datagram[kHeaderBytes];
    WriteHeader(datagram, own.data(), OutgoingTypeWord(endpoint, kSesTerminate));
    endpoint.host.TracePacket(PacketDirection::kSent, peer->ipv4, peer->port, peer->user_id, kSesTerminate,
                              static_cast<int32_t>(kHeaderBytes));
    SendDatagram(endpoint, peer->ipv4, peer->port, datagram, kHeaderBytes);
  }
}

void BuildSessionRequest(NetworkEndpoint& endpoint, const KeyRecord& key) {
  endpoint.session_request_length =
      static_cast<uint32_t>(HandshakeStart(*endpoint.initiator, endpoint.session_request.data()));
  endpoint.own_powers.For(key.certificate);  // built now rather than in the first handshake
}

void LaunchEndpointThreads(NetworkEndpoint& endpoint) {
  if (endpoint.threads_started || !endpoint.bound) return;
  NetworkEndpoint* e = &endpoint;
  endpoint.receive_thread = std::jthread([e](std::stop_token stop) { ReceiveThread(*e, stop); });
  if (endpoint.retry_thread_wanted)
    endpoint.retry_thread = std::jthread([e](std::stop_token stop) { RetryThread(*e, stop); });
  endpoint.threads_started = true;
}

std::unique_ptr<NetworkEndpoint> OpenEndpoint(NetworkHost& host, const EndpointConfig& config,
                                              const NetworkConsumers& consumers) {
  auto endpoint = std::make_unique<NetworkEndpoint>(host);
  endpoint->initiator = std::make_unique<HandshakeInitiator>();
  endpoint->own_id.Set(HostKey(host).record().certificate.user_id);
  endpoint->bind_ipv4 = config.bind_ipv4;
  endpoint->local_port = config.local_port;
  endpoint->retry_thread_wanted = config.retry_thread;
  endpoint->consumers.Set(consumers);
  if (OpenSocket(*endpoint)) StartThreads(*endpoint);
  return endpoint;
}

void CloseEndpoint(NetworkEndpoint& endpoint) {
  if (endpoint.closed) return;
  endpoint.closed = true;
  // Sends made by other threads from now on find the endpoint disabled.
  {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    endpoint.enabled.store(false);
  }
  StopThreads(endpoint);
  TerminateSessions(endpoint);
  {
    std::unique_lock<std::shared_mutex> guard(endpoint.socket_lock);
    endpoint.socket.Close();
  }
  if (endpoint.initiator) HandshakeClear(*endpoint.initiator);
  endpoint.initiator.reset();
}

NetworkEndpoint::~NetworkEndpoint() { CloseEndpoint(*this); }

void SetNetworkConsumers(NetworkEndpoint& endpoint, const NetworkConsumers& consumers) {
  endpoint.consumers.Set(consumers);
}

uint16_t EndpointPort(const NetworkEndpoint& endpoint) {
  return endpoint.bound && !endpoint.closed ? endpoint.local_port : 0;
}

}  // namespace orv
