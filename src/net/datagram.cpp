#include "net/datagram.hpp"

#include "crypto/byte_order.hpp"

namespace orv {

void WriteHeader(uint8_t* out, const uint32_t* user_id, uint32_t type_word) {
  WordsToLeBytes(out, user_id, kUserIdWords);
  StoreLe32(out + kUserIdBytes, type_word);
}

DatagramHeader ReadHeader(const uint8_t* datagram) {
  DatagramHeader header;
  LeBytesToWords(header.user_id, datagram, kUserIdWords);
  header.type_word = LoadLe32(datagram + kUserIdBytes);
  return header;
}

PingInfo ReadPing(const uint8_t* datagram, size_t length) {
  PingInfo ping;
  if (length >= kHeaderBytes + 4) ping.version = LoadLe32(datagram + kHeaderBytes);
  if (length >= kHeaderBytes + 8) ping.build = LoadLe32(datagram + kHeaderBytes + 4);
  return ping;
}

void FirstTwoWords(const uint8_t* bytes, size_t n, uint32_t* words) {
  uint8_t padded[8] = {};
  for (size_t i = 0; i < n && i < 8; ++i) padded[i] = bytes[i];
  words[0] = LoadLe32(padded);
  words[1] = LoadLe32(padded + 4);
}

}  // namespace orv
