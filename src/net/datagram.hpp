// The layout of every datagram: a 36-byte header (the sender's UserId as
// eight little-endian words, then the type word) and a body. Encoded and
// decoded byte by byte.
//
//   type word bits 0-7   datagram type
//              8-15  fragment count (fragmented types only)
//              16-23 fragment index, from 0
//              31    the sender is away
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/certificate.hpp"

namespace orv {

constexpr size_t kHeaderBytes = 36;       // UserId and type word
constexpr size_t kUserIdBytes = 32;
constexpr size_t kMaxDatagram = 8192;     // the receive buffer
constexpr size_t kFragmentBytes = 348;    // body bytes of one fragment
constexpr size_t kMaxFragments = kMaxDatagram / kFragmentBytes;  // 23
constexpr size_t kPingBytes = 44;
constexpr uint32_t kProtocolVersion = 2;
constexpr uint32_t kBuildNumber = 298;    // the build text "298" as a number
// Plaintext an "encoded" datagram can carry, and the data after the inner type.
constexpr size_t kMaxEncodedPlaintext = kMaxDatagram - kHeaderBytes - 16;  // 8140
constexpr size_t kMaxPayloadData = kMaxEncodedPlaintext - 4;                // 8136

enum DatagramType : uint32_t {
  kEncoded = 0,
  kSesRequest = 1,
  kSesResponse = 2,
  kPingReq = 3,
  kPingResp = 4,
  kNameReq = 5,
  kNameResp = 6,
  kSesConfirm = 7,
  kSesTerminate = 8,
  kBusy = 9,
  kReject = 10,
  kConfirmed = 11,
};

constexpr uint32_t kAwayBit = 0x80000000u;

constexpr uint32_t MakeTypeWord(uint32_t type, uint32_t count, uint32_t index, bool away) {
  return (type & 0xff) | ((count & 0xff) << 8) | ((index & 0xff) << 16) | (away ? kAwayBit : 0);
}
constexpr uint32_t TypeOf(uint32_t word) { return word & 0xff; }
constexpr uint32_t FragmentCountOf(uint32_t word) { return (word >> 8) & 0xff; }
constexpr uint32_t FragmentIndexOf(uint32_t word) { return (word >> 16) & 0xff; }
constexpr bool AwayOf(uint32_t word) { return (word & kAwayBit) != 0; }

// Writes the header: the UserId's eight words and the type word, little-endian.
void WriteHeader(uint8_t* out, const uint32_t* user_id, uint32_t type_word);

// Reads the header of a datagram of at least 36 bytes.
struct DatagramHeader {
  uint32_t user_id[kUserIdWords] = {};
  uint32_t type_word = 0;
};
DatagramHeader ReadHeader(const uint8_t* datagram);

// Version and build of a ping: the version reads as 1 in a datagram shorter
// than 40 bytes, the build as 0 in one shorter than 44.
struct PingInfo {
  uint32_t version = 1;
  uint32_t build = 0;
};
PingInfo ReadPing(const uint8_t* datagram, size_t length);

// Number of fragments for a message of `length` bytes: ceil(length / 348).
constexpr size_t FragmentCountFor(size_t length) { return (length + kFragmentBytes - 1) / kFragmentBytes; }

// Byte strings become words little-endian, zero-filled at the end: the
// first two words of `n` bytes, as the data trace shows them.
void FirstTwoWords(const uint8_t* bytes, size_t n, uint32_t* words);

}  // namespace orv
