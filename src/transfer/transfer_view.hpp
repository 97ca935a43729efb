// What a progress window shows of one transfer, and the texts it shows: the
// state texts, the progress text with its units, the bar and its buttons.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

enum TransferState : uint8_t {
  kTransferWaiting = 0,     // sender: request sent, waiting for the answer
  kTransferRequested = 1,   // receiver: request received, waiting for the user
  kTransferCancelling = 2,  // either: waiting for the peer's confirmation
  kTransferCanceled = 3,    // either: cancelled or refused
  kTransferComplete = 4,    // either
  kTransferTimedOut = 5,    // either
  kTransferSending = 6,     // sender: sending blocks
  kTransferReceiving = 7,   // receiver: receiving blocks
};

inline bool IsEnded(uint8_t state) {
  return state == kTransferCanceled || state == kTransferComplete || state == kTransferTimedOut;
}

struct TransferView {
  uint32_t handle = 0;
  bool sending = false;       // this side sends the file
  uint8_t state = 0;
  std::string title;          // the file's name: the window's title
  std::string path;           // receiver: the file's full path once accepted
  uint64_t size = 0;          // bytes
  std::string text;           // the state text or the progress text
  bool marquee = false;       // the bar runs its marquee animation
  uint32_t percent = 0;       // the bar when not running the marquee
  bool save_as_shown = false; // "Save As..." (only while a request waits)
  std::string cancel_label;   // "Cancel", or "Close" once complete
  std::string peer;           // the peer's UserId text
  uint32_t window = 0;        // sender: blocks it may have in flight now
};

// The state's text in the progress window ("Waiting", ...); empty for the
// states that show the progress text.
const char* StateText(uint8_t state);

// A quantity in the largest of "B", "KB", "MB", "GB", "TB" that does not
// exceed it, divided as integers: "%d %s".
std::string QuantityText(uint64_t bytes);

// The progress text: "%s %d %s out of %d %s, speed %.2f KB/sec, time left
// %d %s", with "Transfered" when sending and "Received" otherwise. `done`
// and `size` in bytes; `elapsed_100ns` since the transfer started.
std::string ProgressText(bool sending, uint64_t done, uint64_t size, uint64_t elapsed_100ns);

// The bar: next block × 100 / total blocks (0 without blocks).
uint32_t ProgressPercent(uint64_t next_block, uint64_t total_blocks);

}  // namespace orv
