#include "net/sealed_send.hpp"

#include "crypto/packet_seal.hpp"
#include "net/datagram.hpp"
#include "net/endpoint.hpp"
#include "net/send.hpp"

namespace orv {

int32_t SendSealed(NetworkEndpoint& endpoint, PeerRecord& peer, uint32_t type, const uint8_t* plaintext,
                   size_t length, uint32_t ipv4, uint16_t port) {
  uint8_t datagram[kMaxDatagram];
  if (length > kMaxEncodedPlaintext) return 0;
  const size_t sealed = SealPacket(peer.cipher.send, datagram + kHeaderBytes, plaintext, length);
  if (sealed == 0) return 0;
  WriteHeader(datagram, endpoint.own_id.Get().data(), OutgoingTypeWord(endpoint, type));
  const size_t total = kHeaderBytes + sealed;
  endpoint.host.TracePacket(PacketDirection::kSent, ipv4, port, peer.user_id, type, static_cast<int32_t>(total));
  return SendDatagram(endpoint, ipv4, port, datagram, total);
}

}  // namespace orv
