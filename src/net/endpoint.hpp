// The network endpoint: the one UDP socket, its receive and retry threads,
// the peer table and the sessions. What the rest of the system calls:
// OpenEndpoint and CloseEndpoint at start and shutdown, RestartNetwork for
// "Bootstrap", SendToPeer for every inner payload, SetAway for presence,
// and the peer table queries of peer_table.hpp.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <thread>

#include "crypto/handshake.hpp"
#include "net/consumer_slot.hpp"
#include "net/address_call.hpp"
#include "net/consumers.hpp"
#include "net/network_host.hpp"
#include "net/own_signer_powers.hpp"
#include "net/own_user_id.hpp"
#include "net/peer_ref.hpp"
#include "net/peer_table.hpp"
#include "net/session_setup.hpp"
#include "net/thread_group.hpp"
#include "net/udp_socket.hpp"

namespace orv {

constexpr uint16_t kDefaultLocalPort = 31265;
constexpr int kReceiveTimeoutMs = 100;
constexpr int kRetryTickMs = 100;
// Room for bursts of handshake fragments from many peers at once (a ping
// answered by fifty peers brings some 250 fragments within milliseconds)
// while the receive thread shares the processor with handshake workers.
constexpr int kReceiveBufferBytes = 1 << 20;

struct EndpointConfig {
  uint16_t local_port = kDefaultLocalPort;  // `LocalPort`; 0 lets the system pick one
  uint32_t bind_ipv4 = 0;                   // host order; 0 is "any"
  // The retry thread calls RetryTick every 100 ms. Without it the owner
  // calls RetryTick itself (tests drive time that way).
  bool retry_thread = true;
};

struct NetworkEndpoint {
  explicit NetworkEndpoint(NetworkHost& h) : host(h) {}
  ~NetworkEndpoint();  // closes the endpoint when that has not happened yet
  NetworkEndpoint(const NetworkEndpoint&) = delete;
  NetworkEndpoint& operator=(const NetworkEndpoint&) = delete;

  NetworkHost& host;
  // The session request sent to every peer this side calls, and the
  // initiator values behind it; each call starts from a copy. Rebuilt only
  // while the endpoint is disabled.
  MessageBuffer session_request{};
  uint32_t session_request_length = 0;
  std::unique_ptr<HandshakeInitiator> initiator;
  OwnSignerPowers own_powers;  // the own key's signing table, shared by the workers
  PeerTable peers;        // guarded by table_lock
  std::vector<AddressCall> address_calls;  // guarded by table_lock
  std::mutex table_lock;  // the peer table lock
  OwnUserId own_id;  // replaced when RestartNetwork finds another key loaded
  uint32_t bind_ipv4 = 0;
  uint16_t local_port = 0;  // as bound (the system's pick when 0 was asked for)
  bool bound = false;       // the socket was created and bound at opening
  std::atomic<bool> away{false};
  std::atomic<bool> enabled{false};
  std::atomic<bool> stopping{false};
  std::atomic<uint64_t> retry_ticks{0};  // RetryTick calls so far: the network's clock
  // Senders hold socket_lock shared; the receive thread holds it exclusively
  // only to replace a failed socket.
  UdpSocket socket;
  std::shared_mutex socket_lock;
  std::jthread receive_thread;
  std::jthread retry_thread;
  ThreadGroup workers;      // handshake workers and warning boxes
  ConsumerSlot consumers;
  std::mutex restart_lock;  // one RestartNetwork at a time
  bool retry_thread_wanted = true;  // EndpointConfig::retry_thread
  bool threads_started = false;     // receiving: without it the endpoint is deaf
  bool closed = false;
};

// Sets the endpoint up: socket bound (failures shown as "Can't create
// socket" / "Can't bind socket to local port", title "Error", and the
// endpoint is returned without threads), then, with a loaded key and a
// password, the session request is built and the receive and retry threads
// start. Starts disabled: RestartNetwork enables it.
std::unique_ptr<NetworkEndpoint> OpenEndpoint(NetworkHost& host, const EndpointConfig& config,
                                              const NetworkConsumers& consumers = {});

// Orderly close: threads stopped and joined (workers too), "ses_terminate"
// to every connected peer, records destroyed, socket closed. Safe to call
// twice.
void CloseEndpoint(NetworkEndpoint& endpoint);

// Replaces the consumers; returns once no callback uses the old ones. Not
// from inside a consumer callback.
void SetNetworkConsumers(NetworkEndpoint& endpoint, const NetworkConsumers& consumers);

struct SendRequest {
  PeerRef* target = nullptr;  // an all-zero UserId is filled in when the address is known
  uint32_t inner_type = 0;    // 0 DHT, 1 call channel, 2 file transfer
  const uint8_t* data = nullptr;
  uint32_t length = 0;        // at most kMaxPayloadData (8136)
};

// Sends one inner payload sealed to the peer: the bytes sent, -1 on a
// socket error, or 0 when no payload was sent (no session yet, in which case
// a ping starts one; own UserId; disabled; data too long).
int32_t SendToPeer(NetworkEndpoint& endpoint, const SendRequest& request);

// Presence: the away bit of every datagram sent from now on.
void SetAway(NetworkEndpoint& endpoint, bool away);

// Why RestartNetwork left the endpoint disabled.
enum class NetworkStart { kListening, kNoKey, kNoPassword, kNoSocket };

// What the person is told: empty while listening, else "no key", ...
inline std::string_view NetworkProblemText(NetworkStart start) {
  switch (start) {
    case NetworkStart::kListening: return {};
    case NetworkStart::kNoKey: return "no key";
    case NetworkStart::kNoPassword: return "no password";
    case NetworkStart::kNoSocket: return "no UDP port";
  }
  return {};
}

// Drops every session and handshake, builds a new session request when a
// password is given, and enables the endpoint. When another key was loaded
// since, the sessions of the old identity are ended ("ses_terminate") and
// the new UserId is written from now on. An endpoint that could not start
// receiving at opening (no key or no password then) starts now when it
// can; one that still cannot receive stays disabled, and the reason is
// returned. Never waits for a peer lock: a handshake worker that holds one
// (perhaps asking for the password) discards its setup itself when it gets
// on.
NetworkStart RestartNetwork(NetworkEndpoint& endpoint);

// The session request built for the key; the receive and retry threads
// started once. Used by opening and RestartNetwork.
void BuildSessionRequest(NetworkEndpoint& endpoint, const KeyRecord& key);
void LaunchEndpointThreads(NetworkEndpoint& endpoint);

// "ses_terminate" to every peer with a session. Must hold the table lock.
void SendTerminateToConnected(NetworkEndpoint& endpoint);

// One 100 ms tick of handshake resends and time-outs, and of the calls to
// addresses (ConnectByAddress), whose ends the host hears.
void RetryTick(NetworkEndpoint& endpoint);

// Looks for a peer whose name matches the query (UTF-16 bytes, at most
// 446). Found: its UserId in `user_id`, the host is told (UserFound), true.
// Otherwise every connected peer is asked ("name_req"; answers arrive
// through UserFound) and false is returned.
bool FindUserByName(NetworkEndpoint& endpoint, const uint8_t* name, size_t bytes, uint32_t* user_id);

// A peer's address as the DHT reported it: stored (and noted, and traced)
// for a known peer without session; an unknown peer is pinged through a
// "dht_ping".
void UpdatePeerAddress(NetworkEndpoint& endpoint, const PeerRef& ref);

// The port the socket is bound to, 0 without a socket.
uint16_t EndpointPort(const NetworkEndpoint& endpoint);

}  // namespace orv
