// The file transfer messages (inner type 2) and their constants. Every
// message starts with a 32-bit little-endian word: the code in its low 8
// bits, the transfer identifier chosen by the sender in its high 24 bits.
// Further words are little-endian as well; 64-bit numbers travel as their
// high word, then their low word.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

enum TransferCode : uint8_t {
  kFileRequest = 0,     // sender: size high, size low, name (UTF-16LE, no terminator)
  kFileWaiting = 1,     // receiver: the request is known, the user has not decided
  kFileAccept = 2,      // receiver
  kFileRefuse = 3,      // receiver
  kFileBlock = 4,       // sender: block number high, low, the block's bytes
  kFileBlockAck = 5,    // receiver: block number high, low
  kFileCancel = 6,      // either
  kFileCancelDone = 7,  // either: confirms a cancel
  kFileFinished = 8,    // receiver: the whole file is already here
};
constexpr uint8_t kLastTransferCode = kFileFinished;

constexpr uint32_t kTransferIdMask = 0x00ffffff;
constexpr size_t kControlBytes = 4;        // the first word alone
constexpr size_t kMessageHeaderBytes = 12;  // first word and a 64-bit number
constexpr size_t kBlockBytes = 316;
constexpr size_t kMaxMessageBytes = kMessageHeaderBytes + kBlockBytes;  // 328
constexpr size_t kMaxNameUnits = kBlockBytes / 2;                       // 158 UTF-16 units

inline uint32_t TransferWord(uint8_t code, uint32_t id) { return (id & kTransferIdMask) << 8 | code; }
inline uint8_t CodeOf(uint32_t word) { return static_cast<uint8_t>(word & 0xff); }
inline uint32_t IdOf(uint32_t word) { return word >> 8; }

// Writes the first word and a 64-bit number (size or block number): the 12
// bytes every request, block and acknowledgement starts with.
void StoreMessageHeader(uint8_t* out, uint8_t code, uint32_t id, uint64_t number);
// The 64-bit number behind the first word; `message` holds 12 bytes or more.
uint64_t LoadMessageNumber(const uint8_t* message);

// ceil(size / 316), without overflow for any size.
inline uint64_t BlocksFor(uint64_t size) { return size / kBlockBytes + (size % kBlockBytes != 0); }
// The data bytes of block `block` of a file of `size` bytes (316, the last fewer).
inline size_t BlockLength(uint64_t size, uint64_t block) {
  const uint64_t start = block * kBlockBytes;
  return size - start < kBlockBytes ? static_cast<size_t>(size - start) : kBlockBytes;
}

// Who sends a code: the sender of the file (0, 4), its receiver (1, 2, 3,
// 5, 8), or either side (6, 7).
enum class CodeOrigin { kSender, kReceiver, kEither };
CodeOrigin OriginOf(uint8_t code);

}  // namespace orv
