// The receiver's side: blocks written in order into the temporary file,
// early blocks kept in the slots until their turn, every stored or repeated
// block acknowledged, and the file given its name after the last block.
#include <cerrno>
#include <cstring>

#include "app/event_log.hpp"
#include "net/dispatch.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {

// Must hold the engine lock.
void FileTransferEngine::Acknowledge(TransferRecord& r, uint64_t block) {
  uint8_t message[kMessageHeaderBytes];
  StoreMessageHeader(message, kFileBlockAck, r.id, block);
  services_.sender->SendPayload(r.peer, kInnerFileTransfer, message, sizeof message);
}

// Must hold the engine lock.
bool FileTransferEngine::WriteBlock(TransferRecord& r, const uint8_t* message, size_t length) {
  if (r.file.Write(message + kMessageHeaderBytes, length - kMessageHeaderBytes)) return true;
  // The disk is full or gone: stop here, without a partial file, and say why.
  r.reason = std::strerror(r.file.error());
  Log("Can't write the received file " + r.file.TemporaryPath() + ": " + r.reason);
  BeginCancel(r);
  return false;
}

// Must hold the engine lock. `message` is the whole block message of
// `length` bytes. A block number beyond the file, or a block whose length
// is not the length of that block, is dropped unanswered: it could only
// corrupt the file.
void FileTransferEngine::ReceiveBlock(TransferRecord& r, uint64_t block, const uint8_t* message, size_t length) {
  if (block >= r.total_blocks || length - kMessageHeaderBytes != BlockLength(r.size, block)) return;
  if (block < r.next_block) {  // an old copy
    Acknowledge(r, block);
    return;
  }
  if (block > r.next_block) {
    // Held already: acknowledged again, kept once. No room: dropped
    // unanswered, the sender sends it again.
    if (r.early.count(block) == 0) {
      if (r.early.size() >= r.window.receive_slots) return;
      r.early.emplace(block, std::vector<uint8_t>(message, message + length));
    }
    Acknowledge(r, block);
    return;
  }
  if (!WriteBlock(r, message, length)) return;
  Acknowledge(r, block);
  ++r.next_block;
  // The blocks kept that are now in turn, in order.
  for (auto it = r.early.begin(); it != r.early.end() && it->first == r.next_block; it = r.early.erase(it)) {
    if (!WriteBlock(r, it->second.data(), it->second.size())) return;
    ++r.next_block;
  }
}

// Must hold the engine lock. The temporary file takes the target's name.
// A file chosen in the dialog replaces what is there (the person agreed);
// a file named automatically never does: when its name was taken in the
// meantime, the next free number is used.
bool FileTransferEngine::CommitDownload(TransferRecord& r) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int error = r.file.Commit(r.path, r.chosen_path);
    if (error == 0) return true;
    if (error != EEXIST || r.chosen_path) return false;
    const std::string folder = FolderOf(r.path);
    SetPath(r, AutoPath(folder, r.name));
  }
  return false;
}

// Must hold the engine lock. Every block is here.
void FileTransferEngine::FinishReceive(TransferRecord& r) {
  if (!CommitDownload(r)) {
    r.file.Discard();
    SendFileControl(r.peer, r.id, kFileCancel);
    EndAs(r, kTransferCanceled);
    Log(kCantCreateText);
    if (services_.events) Defer([this] { services_.events->ShowTransferMessage("Error", kCantCreateText); });
    return;
  }
  EndAs(r, kTransferComplete);
  Log("File transfer is finished");
  const PeerRef sender = r.peer;
  const std::string path = r.path;
  const uint64_t now = Now();
  // The folder is read whole for abandoned temporary files, so not after
  // every download: a folder of many files would make each one cost as
  // much as the folder.
  const bool sweep = now - last_sweep_ >= kSweepInterval100ns || now < last_sweep_;
  if (sweep) last_sweep_ = now;
  Defer([this, sender, path, now, sweep] {
    if (sweep) SweepAbandonedParts(FolderOf(path));
    if (!services_.downloads) return;
    const std::u16string name = services_.peer_name ? services_.peer_name(sender) : std::u16string();
    services_.downloads->AddDownload(sender, path, name, now);
    if (services_.events) services_.events->DownloadsChanged(Settings().AutoReceiveFiles);
  });
}

}  // namespace orv
