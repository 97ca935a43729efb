// The file transfer engine: every transfer of both directions in one list
// under one lock, a thread that ticks every 50 ms to resend, count
// time-outs and retire ended transfers, and the handling of the transfer
// messages the receive thread hands over (inner type 2).
//
// A transfer is named by its handle, a number the engine gives it and never
// reuses while it runs; the progress window, the main window and the
// node's commands ("accept", "cancel", "transfers") use it. What a window
// shows comes as TransferEvents; the engine makes no decision in a window.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/consumers.hpp"
#include "net/payload_sender.hpp"
#include "transfer/auto_names.hpp"
#include "transfer/transfer_list.hpp"
#include "transfer/transfer_ports.hpp"
#include "transfer/transfer_record.hpp"
#include "transfer/transfer_view.hpp"
#include "transfer/transfer_window.hpp"

namespace orv {

inline constexpr std::string_view kTransferLogSource = "File Transfer";
inline constexpr std::string_view kCantOpenText = "Can't open file for transfer";
inline constexpr std::string_view kFileEmptyText = "File is empty";
inline constexpr std::string_view kCantCreateText = "Can't create file";

// What one peer can make this side keep: requests waiting for the person,
// and incoming transfers in any state (running, or ended and still shown
// for 30 s). A request beyond either is refused (code 3) without a record
// or a window.
constexpr size_t kMaxWaitingOffersPerPeer = 8;
constexpr size_t kMaxIncomingPerPeer = 32;

struct TransferServices {
  PayloadSender* sender = nullptr;       // required
  TransferEvents* events = nullptr;      // none: nothing is shown
  DownloadsRecord* downloads = nullptr;  // none: completed downloads are not recorded
  ContactDirectory* contacts = nullptr;  // none: nobody is a contact
  TransferClock* clock = nullptr;        // none: the system clock
  std::function<TransferSettings()> settings;                 // none: the defaults
  std::function<std::u16string(const PeerRef&)> peer_name;    // for the downloads record
};

struct FileTransferConfig {
  // The transfer thread calls TransferTick every 50 ms. Without it the owner
  // calls TransferTick itself (tests drive time that way).
  bool transfer_thread = true;
  TransferWindow window;  // given to every new transfer
};

enum class StartError { kNone, kCantOpen, kEmpty };
struct TransferStart {
  StartError error = StartError::kNone;
  uint32_t handle = 0;  // when started
};
// The message box text of a failed start ("Error", error icon).
std::string_view StartErrorText(StartError error);

enum class AcceptResult {
  kAccepted,
  kNotWaiting,  // no such transfer, or it no longer waits for the person
  kCantCreate,  // "Can't create file" (title "Error"); the request stays open
};

class FileTransferEngine : public TransferMessageConsumer {
 public:
  explicit FileTransferEngine(TransferServices services, FileTransferConfig config = {});
  ~FileTransferEngine() override;  // StopFileTransfers
  FileTransferEngine(const FileTransferEngine&) = delete;
  FileTransferEngine& operator=(const FileTransferEngine&) = delete;

  // Offers the file at `path` (UTF-8) to `peer`. A file that cannot be
  // opened or is empty is not offered; the caller shows the box.
  TransferStart StartFileTransfer(const PeerRef& peer, const std::string& path);

  // The person accepts a request. With `chosen_path` (the file dialog's
  // answer, overwriting agreed) the file is saved there; without it, in
  // `FileTransferPath` under the offered name, numbered " (%d)" when taken.
  AcceptResult AcceptIncomingFile(uint32_t handle, const std::optional<std::string>& chosen_path = std::nullopt);

  // "Cancel"/"Close", or closing the progress window: refuses a request,
  // cancels a running transfer (deleting a partial download), or lets an
  // ended one go at the next tick. The window closes. False for an unknown
  // handle.
  bool CancelFileTransfer(uint32_t handle);

  // Inner type 2 from the receive thread; reads `AcceptFileTransfer`. The
  // endpoint must be given other consumers before the engine goes.
  void HandleTransferMessage(const uint8_t* data, size_t length, const PeerRef& sender) override;
  void HandleFileMessage(const uint8_t* data, size_t length, const PeerRef& sender, bool accept_from_anyone);
  // The peer closed its session: every transfer with it that still runs
  // ends as timed out ("Connection timeout"), a partial download deleted.
  void PeerSessionEnded(const PeerRef& peer) override;

  // One 50 ms tick: resends, time-outs, retirement of ended transfers.
  void TransferTick();

  // Stops the thread, then closes every transfer (partial downloads deleted)
  // and its window. Safe to call twice.
  void StopFileTransfers();

  // Sends a 4-byte message: `code` with the identifier.
  void SendFileControl(PeerRef& peer, uint32_t id, uint8_t code);

  // What the windows and the "transfers" command show.
  std::vector<TransferView> ListTransfers();
  std::optional<TransferView> ViewTransfer(uint32_t handle);
  // Where a file dialog starts for a request: `FileTransferPath` and the
  // offered name.
  std::optional<std::string> ProposedPath(uint32_t handle);

 private:
  using Effect = std::function<void()>;
  using Guard = std::lock_guard<std::mutex>;

  // file_transfer_engine.cpp
  void RunThread();
  uint64_t Now();
  uint64_t NowUs() { return services_.clock->MonotonicMicros(); }
  TransferSettings Settings();
  TransferView View(const TransferRecord& r);
  TransferRecord* ByHandle(uint32_t handle) { return records_.ByHandle(handle); }
  void Defer(Effect effect);
  void RunEffects();
  void Refresh(TransferRecord& r);
  void Log(std::string_view text);
  void EndAs(TransferRecord& r, uint8_t state);
  void BeginCancel(TransferRecord& r);
  uint32_t NewIdentifier(const PeerRef& peer);
  std::string AutoPath(const std::string& folder, const std::string& name);
  void SetPath(TransferRecord& r, const std::string& path);
  void Retire(TransferRecord& r);
  void Reply(const PeerRef& to, uint32_t id, uint8_t code);

  // transfer_messages.cpp
  TransferRecord* Find(const PeerRef& sender, uint32_t id, uint8_t code);
  bool RoomForOffer(const PeerRef& sender);
  void OnRequest(TransferRecord* r, const uint8_t* data, size_t length, const PeerRef& sender, bool accept_any);
  void OnBlock(TransferRecord* r, const uint8_t* data, size_t length, const PeerRef& sender, uint32_t id);
  void OnBlockAck(TransferRecord* r, const uint8_t* data, size_t length, const PeerRef& sender, uint32_t id);
  void OnAccepted(TransferRecord& r);
  void OnPeerCancel(TransferRecord* r);
  void OnFinished(TransferRecord& r);

  // transfer_send.cpp
  void FillAndSend(TransferRecord& r);
  void SendBlock(TransferRecord& r, FlightBlock& b);
  void Acknowledged(TransferRecord& r, uint64_t block);
  void ResendLost(TransferRecord& r);

  // transfer_receive.cpp
  void ReceiveBlock(TransferRecord& r, uint64_t block, const uint8_t* message, size_t length);
  bool WriteBlock(TransferRecord& r, const uint8_t* message, size_t length);
  void Acknowledge(TransferRecord& r, uint64_t block);
  void FinishReceive(TransferRecord& r);
  bool CommitDownload(TransferRecord& r);

  // transfer_tick.cpp
  bool TickRecord(TransferRecord& r);  // false once the record is to go
  void TickRepeat(TransferRecord& r, uint8_t code);
  void TickBlocks(TransferRecord& r);
  void TimeOut(TransferRecord& r);
  void TickProgress(TransferRecord& r);

  TransferServices services_;
  FileTransferConfig config_;
  std::unique_ptr<TransferClock> own_clock_;

  std::mutex lock_;  // the engine lock: the list and every record
  TransferList records_;
  AutoNames names_;  // the paths downloads are received into, and the numbers used
  uint32_t next_handle_ = 1;
  uint64_t ticks_ = 0;  // ticks so far: when blocks were sent and are due again
  // When a completed download last swept its folder (system time, 100-ns).
  static constexpr uint64_t kSweepInterval100ns = kAbandonedPartSeconds * 10'000'000;
  uint64_t last_sweep_ = 0;
  std::deque<Effect> effects_;  // events and calls out, in order, run outside the lock
  std::atomic<bool> running_effects_{false};

  std::mutex stop_lock_;
  std::condition_variable stop_signal_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace orv
