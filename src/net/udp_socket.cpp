#include "net/udp_socket.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace orv {
namespace {

sockaddr_in SocketAddress(uint32_t ipv4, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(ipv4);
  address.sin_port = htons(port);
  return address;
}

}  // namespace

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool UdpSocket::Create() {
  Close();
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  return fd_ >= 0;
}

bool UdpSocket::Bind(uint32_t ipv4, uint16_t port) {
  const sockaddr_in address = SocketAddress(ipv4, port);
  return ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool UdpSocket::SetReceiveTimeout(int milliseconds) {
  timeval tv{};
  tv.tv_sec = milliseconds / 1000;
  tv.tv_usec = (milliseconds % 1000) * 1000;
  return ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool UdpSocket::SetReceiveBuffer(int bytes) {
  return ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

void UdpSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

uint16_t UdpSocket::LocalPort() const {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

int32_t UdpSocket::SendTo(uint32_t ipv4, uint16_t port, const uint8_t* data, size_t length) const {
  const sockaddr_in address = SocketAddress(ipv4, port);
  const ssize_t sent =
      ::sendto(fd_, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  return sent < 0 ? -1 : static_cast<int32_t>(sent);
}

UdpSocket::Reception UdpSocket::Receive(uint8_t* buffer, size_t capacity) const {
  Reception r;
  sockaddr_in from{};
  socklen_t size = sizeof from;
  // MSG_TRUNC makes the call return the datagram's real length, so that a
  // datagram longer than the buffer is recognised instead of read cut short.
  const ssize_t n = ::recvfrom(fd_, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &size);
  if (n < 0) {
    const int e = errno;
    // Time-outs, interruptions and the ICMP-reported errors that Linux may
    // queue on a UDP socket say nothing about this socket's health.
    const bool benign = e == EAGAIN || e == EWOULDBLOCK || e == EINTR || e == ECONNREFUSED || e == EHOSTUNREACH ||
                        e == ENETUNREACH || e == EHOSTDOWN || e == ENETDOWN;
    r.what = benign ? Received::kTimeOut : Received::kError;
    return r;
  }
  r.what = Received::kDatagram;
  r.length = static_cast<size_t>(n);
  r.ipv4 = ntohl(from.sin_addr.s_addr);
  r.port = ntohs(from.sin_port);
  return r;
}

}  // namespace orv
