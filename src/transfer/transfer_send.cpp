// The sender's side: blocks read into free slots as acknowledgements free
// them, sent at once, and sent again while unacknowledged. How many slots
// are filled and how long a block waits comes from the record's
// TransferWindow alone.
#include <algorithm>

#include "app/event_log.hpp"
#include "net/dispatch.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {

// Must hold the engine lock.
void FileTransferEngine::SendSlot(TransferRecord& r, TransferSlot& slot) {
  services_.sender->SendPayload(r.peer, kInnerFileTransfer, slot.message.data(), slot.length);
  slot.countdown = r.window.resend_ticks;
}

// Must hold the engine lock. Every block whose countdown ran out goes out.
void FileTransferEngine::SendSlotsDue(TransferRecord& r) {
  for (TransferSlot& slot : r.slots)
    if (!slot.Free() && slot.countdown == 0) SendSlot(r, slot);
}

// Must hold the engine lock. Fills the free slots of the window with the
// next blocks, sends what is due, and completes the transfer once every
// block is read and acknowledged. A file that can no longer be read
// cancels the transfer.
void FileTransferEngine::FillAndSend(TransferRecord& r) {
  // A window that grew brings its slots with it.
  const size_t window = std::min(r.window.blocks_in_flight, kMaxWindowSlots);
  if (r.slots.size() < window) r.slots.resize(window);
  for (size_t i = 0; i < window && r.next_block < r.total_blocks; ++i) {
    TransferSlot& slot = r.slots[i];
    if (!slot.Free()) continue;
    const size_t bytes = BlockLength(r.size, r.next_block);
    if (!r.file.Read(slot.message.data() + kMessageHeaderBytes, bytes)) {
      BeginCancel(r);
      return;
    }
    StoreMessageHeader(slot.message.data(), kFileBlock, r.id, r.next_block);
    slot.length = static_cast<uint32_t>(kMessageHeaderBytes + bytes);
    slot.block = r.next_block++;
    slot.countdown = 0;
  }
  SendSlotsDue(r);
  if (r.next_block < r.total_blocks) return;
  for (const TransferSlot& slot : r.slots)
    if (!slot.Free()) return;
  r.file.Discard();
  EndAs(r, kTransferComplete);
  Log("File transfer is finished");
}

}  // namespace orv
