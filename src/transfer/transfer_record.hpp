// One transfer in either direction, as the engine keeps it. Guarded by the
// engine lock.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "net/peer_ref.hpp"
#include "transfer/blocks_in_flight.hpp"
#include "transfer/congestion_window.hpp"
#include "transfer/transfer_file.hpp"
#include "transfer/transfer_protocol.hpp"
#include "transfer/transfer_view.hpp"
#include "transfer/transfer_window.hpp"

namespace orv {

constexpr uint64_t kFreeSlot = ~0ULL;

// The request or cancel this side repeats until answered.
struct TransferSlot {
  std::array<uint8_t, kMaxMessageBytes> message{};
  uint32_t countdown = 0;    // ticks until the slot is sent again
  uint32_t length = 0;       // bytes of `message` in use
  uint64_t block = kFreeSlot;
  bool Free() const { return block == kFreeSlot; }
};

struct TransferRecord {
  uint32_t handle = 0;       // how windows and commands name the transfer
  bool window_open = true;   // its progress window is shown
  bool sending = false;      // this side sends the file
  TransferFile file;
  std::string name;          // sender: name without folder; receiver: the safe offered name
  std::string path;          // receiver: the full target path once accepted
  bool chosen_path = false;  // the person chose `path` (and agreed to replace a file there)
  uint8_t state = 0;
  std::string reason;        // why this side stopped it, when the disk failed it ("No space left on device")
  uint32_t id = 0;           // low 24 bits
  PeerRef peer;
  TransferWindow window;
  std::vector<TransferSlot> slots;  // one: the repeated request or cancel
  // Sender: the blocks in flight and how many may be.
  CongestionWindow congestion;
  BlocksInFlight flight;
  uint64_t highest_acked = 0;   // sequence of the latest transmission acknowledged
  uint64_t highest_acked_us = 0;  // when that transmission was sent
  uint64_t last_ack_tick = 0;   // when an acknowledgement last freed a block
  // Receiver: blocks that came early, at most `window.receive_slots`.
  std::map<uint64_t, std::vector<uint8_t>> early;
  uint64_t total_blocks = 0;
  uint64_t next_block = 0;   // sender: next to read; receiver: next expected
  uint64_t size = 0;
  uint32_t timeout = 0;      // ticks
  uint64_t start_time = 0;   // system time, 100-ns units
  uint32_t refresh_countdown = 0;  // ticks until the progress is shown again
};

}  // namespace orv
