// The sender's side: blocks read as the window allows, sent at once, sent
// again when presumed lost, and the window grown or shrunk by what comes
// back (see CongestionWindow). Every step is constant work per block: the
// blocks in flight are found by number and the oldest transmission is at
// the front of their order.
#include <algorithm>

#include "app/event_log.hpp"
#include "net/dispatch.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {
namespace {

// A block is presumed lost once blocks sent this many transmissions after
// it are acknowledged (a receiver acknowledges each block as it arrives),
// and those were sent later by more than the path's reordering (a quarter
// of the round trip and four times its variation: blocks and their
// acknowledgements are both reordered), so that datagrams the network
// merely reordered are not sent twice.
constexpr uint64_t kReorderTransmissions = 3;

uint64_t ReorderWindowUs(const CongestionWindow& c) {
  return c.SmoothedRoundTripUs() / 4 + 4 * c.RoundTripVariationUs();
}

}  // namespace

// Must hold the engine lock.
void FileTransferEngine::SendBlock(TransferRecord& r, FlightBlock& b) {
  services_.sender->SendPayload(r.peer, kInnerFileTransfer, b.message.data(), b.length);
  r.flight.Sent(b, ticks_, NowUs());
}

// Must hold the engine lock. The first acknowledgement of a block in
// flight frees it and feeds the window: a round trip sample when it was
// sent once. Repeated acknowledgements change nothing.
void FileTransferEngine::Acknowledged(TransferRecord& r, uint64_t block) {
  FlightBlock* b = r.flight.Find(block);
  if (!b) return;
  const uint64_t now_us = NowUs();
  std::optional<uint64_t> round_trip;
  if (b->sends == 1 && now_us >= b->sent_us) round_trip = now_us - b->sent_us;
  if (b->sequence > r.highest_acked) {
    r.highest_acked = b->sequence;
    r.highest_acked_us = b->sent_us;
  }
  r.flight.Remove(block);
  r.last_ack_tick = ticks_;
  r.congestion.Acknowledged(now_us, round_trip);
  ResendLost(r);
}

// Must hold the engine lock. With an adaptive window, blocks overtaken by
// acknowledged later ones are sent again without waiting for the time-out:
// at most two for each acknowledgement, so that resends follow the pace at
// which blocks leave the path instead of going out in one burst (the rest
// follow with the next acknowledgements, or at their time-out).
void FileTransferEngine::ResendLost(TransferRecord& r) {
  if (!r.window.Adaptive()) return;
  for (int budget = 2; budget > 0; --budget) {
    FlightBlock* oldest = r.flight.Oldest();
    if (!oldest) break;
    if (oldest->sequence + kReorderTransmissions >= r.highest_acked) break;
    if (oldest->sent_us + ReorderWindowUs(r.congestion) > r.highest_acked_us) break;
    r.flight.DropOldest();
    r.congestion.Lost();
    SendBlock(r, *oldest);
  }
}

// Must hold the engine lock. Reads and sends the next blocks while the
// window has room, and completes the transfer once every block is read and
// acknowledged. A file that can no longer be read cancels the transfer.
void FileTransferEngine::FillAndSend(TransferRecord& r) {
  while (r.flight.Count() < r.congestion.Blocks() && r.next_block < r.total_blocks) {
    const size_t bytes = BlockLength(r.size, r.next_block);
    FlightBlock& b = r.flight.Add(r.next_block);
    if (!r.file.Read(b.message.data() + kMessageHeaderBytes, bytes)) {
      r.flight.Remove(r.next_block);
      BeginCancel(r);
      return;
    }
    StoreMessageHeader(b.message.data(), kFileBlock, r.id, r.next_block);
    b.length = static_cast<uint32_t>(kMessageHeaderBytes + bytes);
    ++r.next_block;
    SendBlock(r, b);
  }
  if (r.next_block < r.total_blocks || !r.flight.Empty()) return;
  r.file.Discard();
  EndAs(r, kTransferComplete);
  Log("File transfer is finished");
}

}  // namespace orv
