// The transfer messages as they arrive from the peer (inner type 2), under
// the engine lock. A transfer is found by the peer's UserId, the identifier
// and the direction the code travels in, so that a transfer each way with
// the same identifier stays apart. An ended transfer (cancelled, complete,
// timed out) stays as it ended: late copies of any message change nothing
// the person sees.
#include <algorithm>

#include "app/event_log.hpp"
#include "crypto/byte_order.hpp"
#include "transfer/file_transfer_engine.hpp"
#include "transfer/received_name.hpp"

namespace orv {

// The setting matters for requests only; blocks do not pay for reading it.
void FileTransferEngine::HandleTransferMessage(const uint8_t* data, size_t length, const PeerRef& sender) {
  const bool request = length >= kControlBytes && CodeOf(LoadLe32(data)) == kFileRequest;
  HandleFileMessage(data, length, sender, !request || Settings().AcceptFileTransfer);
}

// Must hold the engine lock. Codes 6 and 7 travel both ways: with a
// transfer each way under one identifier, a cancel goes to the one still
// running and a confirmation to the one that waits for it.
TransferRecord* FileTransferEngine::Find(const PeerRef& sender, uint32_t id, uint8_t code) {
  const CodeOrigin origin = OriginOf(code);
  TransferRecord* found = nullptr;
  records_.WithId(sender.user_id, id, [&](TransferRecord& r) {
    if (origin == CodeOrigin::kSender && r.sending) return true;
    if (origin == CodeOrigin::kReceiver && !r.sending) return true;
    const bool preferred = code == kFileCancelDone ? r.state == kTransferCancelling : !IsEnded(r.state);
    if (!found || preferred) found = &r;
    return !preferred;
  });
  return found;
}

// Must hold the engine lock. Whether `sender` may make one more incoming
// transfer here: a peer that offers more than a person can answer, or
// opens transfers faster than they end, is refused beyond its share.
bool FileTransferEngine::RoomForOffer(const PeerRef& sender) {
  size_t waiting = 0;
  size_t incoming = 0;
  records_.WithPeer(sender.user_id, [&](const TransferRecord& r) {
    if (r.sending) return;
    ++incoming;
    waiting += r.state == kTransferRequested;
  });
  return waiting < kMaxWaitingOffersPerPeer && incoming < kMaxIncomingPerPeer;
}

void FileTransferEngine::HandleFileMessage(const uint8_t* data, size_t length, const PeerRef& sender,
                                           bool accept_from_anyone) {
  if (length < kControlBytes) return;
  const uint32_t word = LoadLe32(data);
  const uint8_t code = CodeOf(word);
  const uint32_t id = IdOf(word);
  if (code > kLastTransferCode) return;
  {
    Guard g(lock_);
    TransferRecord* r = Find(sender, id, code);
    switch (code) {
      case kFileRequest:
        OnRequest(r, data, length, sender, accept_from_anyone);
        break;
      case kFileWaiting:
        if (r && r->state == kTransferWaiting) r->timeout = kActiveTimeoutTicks;
        break;
      case kFileAccept:
        if (r && r->state == kTransferWaiting) OnAccepted(*r);
        break;
      case kFileRefuse:
        if (r && !IsEnded(r->state)) {
          EndAs(*r, kTransferCanceled);
          Log("File transfer was rejected");
        }
        break;
      case kFileBlock:
        OnBlock(r, data, length, sender, id);
        break;
      case kFileBlockAck:
        OnBlockAck(r, data, length, sender, id);
        break;
      case kFileCancel:
        OnPeerCancel(r);
        Reply(sender, id, kFileCancelDone);
        break;
      case kFileCancelDone:
        if (r && r->state == kTransferCancelling) EndAs(*r, kTransferCanceled);
        break;
      case kFileFinished:
        if (r && r->state == kTransferSending) OnFinished(*r);
        break;
    }
  }
  RunEffects();
}

// Must hold the engine lock. A request for a known transfer is answered
// with where it stands; a new one becomes a record in state 1, unless the
// peer may not send files here.
void FileTransferEngine::OnRequest(TransferRecord* r, const uint8_t* data, size_t length, const PeerRef& sender,
                                   bool accept_any) {
  const uint32_t id = IdOf(LoadLe32(data));
  if (r) {
    const uint8_t answer = r->state == kTransferRequested   ? kFileWaiting
                           : r->state == kTransferReceiving ? kFileAccept
                                                            : kFileRefuse;
    SendFileControl(r->peer, id, answer);
    return;
  }
  if (length < kMessageHeaderBytes ||
      (!accept_any && !(services_.contacts && services_.contacts->IsContact(sender.user_id)))) {
    Reply(sender, id, kFileCancel);
    return;
  }
  if (!RoomForOffer(sender)) {
    Reply(sender, id, kFileRefuse);
    return;
  }
  auto record = std::make_unique<TransferRecord>();
  record->handle = next_handle_++;
  record->id = id;
  record->peer = sender;
  record->state = kTransferRequested;
  record->timeout = kShortTimeoutTicks;
  record->window = config_.window;
  record->slots.resize(1);
  record->size = LoadMessageNumber(data);
  record->total_blocks = BlocksFor(record->size);
  const size_t name_bytes = std::min(length - kMessageHeaderBytes, kBlockBytes);
  record->name = SafeReceivedName(data + kMessageHeaderBytes, name_bytes);
  const uint32_t handle = record->handle;
  if (services_.events) {
    TransferView view = View(*record);
    Defer([this, view = std::move(view)] { services_.events->TransferAdded(view); });
  }
  // With `AutoReceiveFiles` the request is accepted as soon as it shows;
  // a file that cannot be created leaves it open for the person. An empty
  // file (which no sender offers) waits for the person: it has nothing to
  // receive and would only fill the downloads record and the folder.
  const bool empty = record->size == 0;
  Defer([this, handle, empty] {
    if (empty || !Settings().AutoReceiveFiles) return;
    if (AcceptIncomingFile(handle) == AcceptResult::kCantCreate && services_.events)
      services_.events->ShowTransferMessage("Error", kCantCreateText);
  });
  records_.Add(std::move(record));
  Log("Received request for file transfer");
}

// Must hold the engine lock.
void FileTransferEngine::OnAccepted(TransferRecord& r) {
  r.state = kTransferSending;
  r.timeout = kActiveTimeoutTicks;
  r.last_ack_tick = ticks_;
  r.start_time = Now();
  FillAndSend(r);
  Refresh(r);
  Log("File transfer was accepted");
}

// Must hold the engine lock. A block for a transfer that is not receiving
// is answered with a cancel, or with "finished" when the file is complete
// here (the sender missed the last acknowledgements).
void FileTransferEngine::OnBlock(TransferRecord* r, const uint8_t* data, size_t length, const PeerRef& sender,
                                 uint32_t id) {
  if (!r) {
    Reply(sender, id, kFileCancel);
    return;
  }
  if (r->state == kTransferComplete) {
    SendFileControl(r->peer, id, kFileFinished);
    return;
  }
  if (r->state != kTransferReceiving) {
    SendFileControl(r->peer, id, kFileCancel);
    return;
  }
  if (length < kMessageHeaderBytes) return;
  ReceiveBlock(*r, LoadMessageNumber(data), data, length);
  if (r->state != kTransferReceiving) return;
  if (r->next_block >= r->total_blocks) FinishReceive(*r);
  else r->timeout = kActiveTimeoutTicks;
}

// Must hold the engine lock. A late acknowledgement for a transfer that is
// complete here is left alone: answering it with a cancel would turn the
// peer's finished download into a cancelled one.
void FileTransferEngine::OnBlockAck(TransferRecord* r, const uint8_t* data, size_t length, const PeerRef& sender,
                                    uint32_t id) {
  if (!r) {
    Reply(sender, id, kFileCancel);
    return;
  }
  if (r->state == kTransferComplete) return;
  if (r->state != kTransferSending) {
    SendFileControl(r->peer, id, kFileCancel);
    return;
  }
  if (length < kMessageHeaderBytes) return;
  Acknowledged(*r, LoadMessageNumber(data));
  r->timeout = kActiveTimeoutTicks;
  FillAndSend(*r);
}

// Must hold the engine lock. The peer cancels: a partial download is
// deleted. The caller confirms in every case.
void FileTransferEngine::OnPeerCancel(TransferRecord* r) {
  if (!r || IsEnded(r->state)) return;
  if (r->state == kTransferReceiving || !r->sending) r->file.Discard();
  EndAs(*r, kTransferCanceled);
  Log("File transfer was cancelled");
}

// Must hold the engine lock. The receiver has the whole file already.
void FileTransferEngine::OnFinished(TransferRecord& r) {
  r.file.Discard();
  EndAs(r, kTransferComplete);
  Log("File transfer was finished");
}

}  // namespace orv
