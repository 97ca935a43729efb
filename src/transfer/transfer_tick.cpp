// The 50 ms tick: repeats of requests, cancels and unacknowledged blocks,
// the time-outs, and the retirement of ended transfers. A time-out counts
// down to 0 and acts there; it is never decremented below 0.
#include <algorithm>

#include "app/event_log.hpp"
#include "net/dispatch.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {
namespace {

// One tick of a countdown: true once it is at 0.
constexpr uint32_t kProgressRefreshTicks = 7;  // about three times a second
constexpr uint32_t kMaxResendsPerTick = 32;

bool CountDown(uint32_t& ticks) {
  if (ticks > 0) --ticks;
  return ticks == 0;
}

}  // namespace

void FileTransferEngine::TransferTick() {
  {
    Guard g(lock_);
    ++ticks_;
    records_.KeepIf([this](TransferRecord& r) { return TickRecord(r); });
  }
  RunEffects();
}

// Must hold the engine lock.
void FileTransferEngine::TimeOut(TransferRecord& r) {
  if (r.state == kTransferReceiving) r.file.Discard();
  EndAs(r, kTransferTimedOut);
  Log("File transfer timed out");
}

void FileTransferEngine::PeerSessionEnded(const PeerRef& peer) {
  {
    Guard g(lock_);
    records_.WithPeer(peer.user_id, [this](TransferRecord& r) {
      const uint8_t s = r.state;
      if (s == kTransferWaiting || s == kTransferRequested || s == kTransferSending || s == kTransferReceiving) {
        Log("The peer ended the session");
        TimeOut(r);
      } else if (s == kTransferCancelling) {
        EndAs(r, kTransferCanceled);
      }
    });
  }
  RunEffects();
}

// Must hold the engine lock. Slot 0 repeats the request (state 0) or the
// cancel (state 2) every 2.5 s.
void FileTransferEngine::TickRepeat(TransferRecord& r, uint8_t code) {
  TransferSlot& slot = r.slots[0];
  if (!CountDown(slot.countdown)) return;
  if (code == kFileRequest) services_.sender->SendPayload(r.peer, kInnerFileTransfer, slot.message.data(), slot.length);
  else SendFileControl(r.peer, r.id, code);
  slot.countdown = kRequestResendTicks;
}

// Must hold the engine lock. Blocks unacknowledged for the resend time-out
// go out again, oldest first, no more in one tick than the window allows
// and never more than 32 (the rest in the next ticks): the network layer
// takes 100 sends in a row without an answer for a lost session, and a
// burst is what a full queue drops. The work is bounded by the blocks
// resent.
// When nothing at all was acknowledged for a whole time-out, the window
// collapses first.
void FileTransferEngine::TickBlocks(TransferRecord& r) {
  const uint32_t resend = r.congestion.ResendTicks();
  FlightBlock* oldest = r.flight.Oldest();
  if (!oldest || oldest->sent_tick + resend > ticks_) return;
  if (ticks_ - r.last_ack_tick >= resend) r.congestion.Silent();
  for (uint32_t budget = std::min(r.congestion.Blocks(), kMaxResendsPerTick); budget > 0; --budget) {
    oldest = r.flight.Oldest();
    if (!oldest || oldest->sent_tick + resend > ticks_) break;
    r.flight.DropOldest();
    r.congestion.Lost();
    SendBlock(r, *oldest);
  }
}

// Must hold the engine lock. A running transfer shows its progress about
// three times a second.
void FileTransferEngine::TickProgress(TransferRecord& r) {
  if (!CountDown(r.refresh_countdown)) return;
  r.refresh_countdown = kProgressRefreshTicks;
  Refresh(r);
}

// Must hold the engine lock.
bool FileTransferEngine::TickRecord(TransferRecord& r) {
  const bool expired = CountDown(r.timeout);
  switch (r.state) {
    case kTransferWaiting:
      if (expired) TimeOut(r);
      else TickRepeat(r, kFileRequest);
      break;
    case kTransferRequested:
      if (expired) TimeOut(r);
      break;
    case kTransferCancelling:
      if (expired) EndAs(r, kTransferCanceled);
      else TickRepeat(r, kFileCancel);
      break;
    case kTransferSending:
    case kTransferReceiving:
      if (expired) {
        TimeOut(r);
      } else {
        if (r.state == kTransferSending) TickBlocks(r);
        TickProgress(r);
      }
      break;
    default:  // ended: retired once its 30 s are over
      if (!expired) break;
      r.file.Discard();
      if (r.window_open && services_.events) {
        const uint32_t handle = r.handle;
        Defer([this, handle] { services_.events->TransferClosed(handle); });
      }
      Log("File transfer closed");
      Retire(r);
      return false;
  }
  return true;
}

}  // namespace orv
