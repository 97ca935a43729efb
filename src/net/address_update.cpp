// UpdatePeerAddress: the DHT reports where a peer is.
#include <mutex>

#include "crypto/byte_order.hpp"
#include "net/dispatch.hpp"
#include "net/endpoint.hpp"
#include "net/net_text.hpp"

namespace orv {
namespace {

constexpr uint32_t kDhtPing = 1;

std::string UpdateText(const PeerRecord& peer, uint32_t old_ipv4, uint16_t old_port, const PeerRef& now) {
  const uint32_t* id = peer.user_id;
  const auto b = [](uint32_t ipv4, int shift) { return static_cast<int>((ipv4 >> shift) & 0xff); };
  return FormatText(
      "Updated IP and port for %08X %08X %08X %08X %08X %08X %08X %08X from %3d.%3d.%3d.%3d:%5d to "
      "%3d.%3d.%3d.%3d:%5d",
      id[0], id[1], id[2], id[3], id[4], id[5], id[6], id[7], b(old_ipv4, 24), b(old_ipv4, 16), b(old_ipv4, 8),
      b(old_ipv4, 0), static_cast<int>(old_port), b(now.ipv4, 24), b(now.ipv4, 16), b(now.ipv4, 8), b(now.ipv4, 0),
      static_cast<int>(now.port));
}

// Stores the address of a known peer without session. Must hold the peer
// table lock.
void StoreAddress(NetworkEndpoint& endpoint, PeerRecord& peer, const PeerRef& ref,
                  const NetworkConsumers& consumers) {
  if (peer.connected || ref.ipv4 == 0 || ref.port == 0) return;
  if (peer.ipv4 == ref.ipv4 && peer.port == ref.port) return;
  const uint32_t old_ipv4 = peer.ipv4;
  const uint16_t old_port = peer.port;
  peer.ipv4 = ref.ipv4;
  peer.port = ref.port;
  if (consumers.contacts) consumers.contacts->NoteNode(ref);
  if (endpoint.host.LogFileOpen()) endpoint.host.TraceAddressUpdate(UpdateText(peer, old_ipv4, old_port, ref));
}

}  // namespace

void UpdatePeerAddress(NetworkEndpoint& endpoint, const PeerRef& ref) {
  {
    ConsumerSlot::Lease consumers(endpoint.consumers);
    std::lock_guard<std::mutex> table(endpoint.table_lock);
    PeerRecord* peer = FindPeer(endpoint, ref.user_id, false);
    if (peer) {
      StoreAddress(endpoint, *peer, ref, *consumers);
      return;
    }
  }
  // An unknown peer: a "dht_ping" makes its record and starts a session.
  uint8_t data[4];
  StoreLe32(data, kDhtPing);
  PeerRef target = ref;
  SendRequest request;
  request.target = &target;
  request.inner_type = kInnerDht;
  request.data = data;
  request.length = sizeof data;
  SendToPeer(endpoint, request);
}

}  // namespace orv
