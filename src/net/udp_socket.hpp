// The one IPv4 UDP socket of the endpoint, as an owned file descriptor.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

class UdpSocket {
 public:
  UdpSocket() = default;
  ~UdpSocket() { Close(); }
  UdpSocket(UdpSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  UdpSocket& operator=(UdpSocket&& other) noexcept;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Creates the socket; false when the system refuses.
  bool Create();
  // Binds it to `ipv4` (host order, 0 for any) and `port` (0: the system
  // picks one); false when the address is taken or not local.
  bool Bind(uint32_t ipv4, uint16_t port);
  // Asks for a receive buffer of `bytes` (SO_RCVBUF); the system may give less.
  bool SetReceiveBuffer(int bytes);
  // Receive time-out (SO_RCVTIMEO). ICMP errors are not reported on an
  // unconnected Linux UDP socket, so nothing else needs switching off.
  bool SetReceiveTimeout(int milliseconds);
  void Close();

  bool valid() const { return fd_ >= 0; }
  // The port the socket is bound to (host order), 0 when unknown.
  uint16_t LocalPort() const;

  // Bytes sent, or -1 on an error.
  int32_t SendTo(uint32_t ipv4, uint16_t port, const uint8_t* data, size_t length) const;

  enum class Received { kDatagram, kTimeOut, kError };
  struct Reception {
    Received what = Received::kTimeOut;
    size_t length = 0;  // the datagram's full length, even when longer than the buffer
    uint32_t ipv4 = 0;
    uint16_t port = 0;
  };
  // Waits up to the receive time-out for one datagram. A datagram longer
  // than `capacity` is reported with its full length and its first
  // `capacity` bytes. Interruptions count as time-outs.
  Reception Receive(uint8_t* buffer, size_t capacity) const;

 private:
  int fd_ = -1;
};

}  // namespace orv
