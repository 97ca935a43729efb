#include "net/receive_loop.hpp"

#include <vector>

#include "crypto/wipe.hpp"
#include "net/dispatch.hpp"
#include "net/endpoint.hpp"
#include "net/handshake_reactions.hpp"
#include "net/protected_path.hpp"

namespace orv {
namespace {

bool IsHandshakeType(uint32_t type) { return (type >= kSesRequest && type <= kPingResp) || (type >= kSesConfirm && type <= kConfirmed); }
bool IsProtectedType(uint32_t type) { return type == kEncoded || type == kNameReq || type == kNameResp; }

// Traces the datagram, notes the peer's presence and liveness, and runs
// its handler. Must hold the peer table lock.
void HandleFromPeer(NetworkEndpoint& endpoint, Arrival& arrival, Aftermath& after) {
  PeerRecord& peer = *arrival.peer;
  endpoint.host.TracePacket(PacketDirection::kReceived, arrival.sender.ipv4, arrival.sender.port,
                            arrival.sender.user_id, arrival.type, static_cast<int32_t>(arrival.length));
  peer.away = AwayOf(arrival.type_word);
  if (arrival.consumers->dht_nodes) arrival.consumers->dht_nodes->NoteDhtNode(arrival.sender);
  if (IsHandshakeType(arrival.type)) {
    ReactToHandshake(endpoint, arrival, after);
  } else if (IsProtectedType(arrival.type)) {
    ReceiveProtected(endpoint, arrival, after);
  }
}

// The peer's record, made for the sender when there is none. Must hold the
// peer table lock.
std::shared_ptr<PeerRecord> SenderRecord(NetworkEndpoint& endpoint, const PeerRef& sender) {
  std::shared_ptr<PeerRecord> record = FindPeerShared(endpoint, sender.user_id);
  if (record) return record;
  if (!FindPeer(endpoint, sender.user_id, true, &sender)) return nullptr;
  return FindPeerShared(endpoint, sender.user_id);
}

// A socket that failed is replaced by a new one on the same address; false
// when that cannot be done (the endpoint then receives nothing more).
bool RenewSocket(NetworkEndpoint& endpoint) {
  std::unique_lock<std::shared_mutex> guard(endpoint.socket_lock);
  endpoint.socket.Close();
  return endpoint.socket.Create() && endpoint.socket.Bind(endpoint.bind_ipv4, endpoint.local_port) &&
         endpoint.socket.SetReceiveTimeout(kReceiveTimeoutMs) && endpoint.socket.SetReceiveBuffer(kReceiveBufferBytes);
}

}  // namespace

void HandleDatagram(NetworkEndpoint& endpoint, const uint8_t* data, size_t length, uint32_t ipv4, uint16_t port,
                    uint8_t* plaintext) {
  if (length < kHeaderBytes || length > kMaxDatagram) return;
  const DatagramHeader header = ReadHeader(data);
  if (SameUserId(header.user_id, endpoint.own_id.Get().data())) return;
  ConsumerSlot::Lease consumers(endpoint.consumers);
  Arrival arrival;
  arrival.data = data;
  arrival.length = length;
  arrival.type_word = header.type_word;
  arrival.type = TypeOf(header.type_word);
  CopyUserId(arrival.sender.user_id, header.user_id);
  arrival.sender.ipv4 = ipv4;
  arrival.sender.port = port;
  arrival.consumers = &*consumers;
  arrival.plaintext = plaintext;
  Aftermath after;
  {
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    if (!endpoint.enabled.load()) return;
    arrival.peer = SenderRecord(endpoint, arrival.sender);
    if (!arrival.peer) return;
    HandleFromPeer(endpoint, arrival, after);
  }
  if (!after.log_text.empty()) endpoint.host.LogEvent("Network", after.log_text);
  for (const auto& id : after.found_users) endpoint.host.UserFound(id.data());
  if (after.session_ended && consumers->transfers) consumers->transfers->PeerSessionEnded(arrival.sender);
  if (after.payload && !endpoint.stopping.load())
    DispatchPayload(*consumers, after.payload, after.payload_length, arrival.sender);
  if (after.plaintext_used) WipeBytes(plaintext, after.plaintext_used);
}

void ReceiveThread(NetworkEndpoint& endpoint, std::stop_token stop) {
  std::vector<uint8_t> buffer(kMaxDatagram);
  std::vector<uint8_t> plaintext(kMaxDatagram);
  while (!stop.stop_requested()) {
    UdpSocket::Reception r;
    {
      std::shared_lock<std::shared_mutex> guard(endpoint.socket_lock);
      r = endpoint.socket.Receive(buffer.data(), buffer.size());
    }
    if (r.what == UdpSocket::Received::kError) {
      if (!RenewSocket(endpoint)) return;
      continue;
    }
    // Longer datagrams than the buffer cannot be taken in; they are dropped
    // whole rather than read cut short.
    if (r.what != UdpSocket::Received::kDatagram || r.length > kMaxDatagram) continue;
    HandleDatagram(endpoint, buffer.data(), r.length, r.ipv4, r.port, plaintext.data());
  }
}

}  // namespace orv
