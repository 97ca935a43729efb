#include "net/send.hpp"

#include <cstring>

#include "crypto/byte_order.hpp"
#include "net/datagram.hpp"
#include "net/endpoint.hpp"

namespace orv {

uint32_t OutgoingTypeWord(const NetworkEndpoint& endpoint, uint32_t type, uint32_t count, uint32_t index) {
  return MakeTypeWord(type, count, index, endpoint.away.load());
}

int32_t SendDatagram(NetworkEndpoint& endpoint, uint32_t ipv4, uint16_t port, const uint8_t* data, size_t length) {
  std::shared_lock<std::shared_mutex> guard(endpoint.socket_lock);
  if (!endpoint.socket.valid()) return -1;
  return endpoint.socket.SendTo(ipv4, port, data, length);
}

void SendSmall(NetworkEndpoint& endpoint, uint32_t ipv4, uint16_t port, const uint32_t* trace_id,
               const uint32_t* words, size_t n, std::atomic<uint32_t>* counter) {
  uint8_t datagram[kHeaderBytes + 8];
  if (n == 0 || n > 3) return;
  WriteHeader(datagram, endpoint.own_id.Get().data(), words[0]);
  WordsToLeBytes(datagram + kHeaderBytes, words + 1, n - 1);
  const size_t length = kHeaderBytes + 4 * (n - 1);
  endpoint.host.TracePacket(PacketDirection::kSent, ipv4, port, trace_id, TypeOf(words[0]),
                            static_cast<int32_t>(4 * n));
  SendDatagram(endpoint, ipv4, port, datagram, length);
  if (counter) counter->fetch_add(1);
}

void SendFragmented(NetworkEndpoint& endpoint, uint32_t ipv4, uint16_t port, const uint32_t* trace_id,
                    const uint8_t* message, size_t length, uint32_t type, std::atomic<uint32_t>* counter) {
  const size_t count = FragmentCountFor(length);
  uint8_t datagram[kHeaderBytes + kFragmentBytes];
  for (size_t i = 0; i < count; ++i) {
    const size_t offset = kFragmentBytes * i;
    const size_t part = length - offset < kFragmentBytes ? length - offset : kFragmentBytes;
    WriteHeader(datagram, endpoint.own_id.Get().data(),
                OutgoingTypeWord(endpoint, type, static_cast<uint32_t>(count), static_cast<uint32_t>(i)));
    std::memcpy(datagram + kHeaderBytes, message + offset, part);
    endpoint.host.TracePacket(PacketDirection::kSent, ipv4, port, trace_id, type,
                              static_cast<int32_t>(kHeaderBytes + part));
    SendDatagram(endpoint, ipv4, port, datagram, kHeaderBytes + part);
  }
  if (counter) counter->fetch_add(static_cast<uint32_t>(count));
}

void SendPing(NetworkEndpoint& endpoint, uint32_t type, uint32_t ipv4, uint16_t port, const uint32_t* trace_id,
              std::atomic<uint32_t>* counter) {
  const uint32_t words[3] = {OutgoingTypeWord(endpoint, type), kProtocolVersion, kBuildNumber};
  SendSmall(endpoint, ipv4, port, trace_id, words, 3, counter);
}

void SendSignal(NetworkEndpoint& endpoint, uint32_t type, uint32_t ipv4, uint16_t port, const uint32_t* trace_id,
                std::atomic<uint32_t>* counter) {
  const uint32_t word = OutgoingTypeWord(endpoint, type);
  SendSmall(endpoint, ipv4, port, trace_id, &word, 1, counter);
}

}  // namespace orv
