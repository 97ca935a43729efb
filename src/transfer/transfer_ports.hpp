// What the file transfer engine needs from the rest of the program, as small
// interfaces: whether a peer is a contact, the downloads record, the peer's
// name, the settings, a clock, and the events a progress window shows. A
// running node wires the real contact store, downloads record and windows;
// tests give recording fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/peer_ref.hpp"
#include "store/contact_directory.hpp"
#include "transfer/transfer_view.hpp"

namespace orv {

// The downloads record: a completed download goes to the head of its list.
// `time_100ns` is the system time in 100-ns units since 1970-01-01 UTC.
class DownloadsRecord {
 public:
  virtual ~DownloadsRecord() = default;
  virtual void AddDownload(const PeerRef& sender, const std::string& path, const std::u16string& sender_name,
                           uint64_t time_100ns) = 0;
};

// The settings the engine reads when it needs them.
struct TransferSettings {
  bool AcceptFileTransfer = true;  // requests from anyone, not only contacts
  bool AutoReceiveFiles = false;   // accept at once, named in FileTransferPath
  std::string FileTransferPath;    // folder of received files
};

class TransferClock {
 public:
  virtual ~TransferClock() = default;
  // System time in 100-ns units since 1970-01-01 UTC.
  virtual uint64_t SystemTime100ns() = 0;
  // A clock that never goes back, in microseconds, for round trip times.
  virtual uint64_t MonotonicMicros() { return SystemTime100ns() / 10; }
};

// The progress windows and the main window's part in them. Called on the
// engine's threads (receive, transfer thread, or the caller's), never while
// the engine lock is held, in the order the engine made them; a window
// implementation posts them to the interface thread. Each transfer is named
// by its handle.
class TransferEvents {
 public:
  virtual ~TransferEvents() = default;
  // A new transfer: the main window opens its progress window.
  virtual void TransferAdded(const TransferView& view) = 0;
  // The progress window shows `view` (state changes, and the progress of a
  // running transfer about three times a second).
  virtual void TransferRefreshed(const TransferView& view) = 0;
  // The progress window closes (the transfer is gone or the user closed it).
  virtual void TransferClosed(uint32_t handle) = 0;
  // A download was added to the downloads record: refresh the downloads
  // window, and show it when `show` is set.
  virtual void DownloadsChanged(bool show) = 0;
  // A message box for something the engine did on its own (an automatic
  // accept that could not create the file).
  virtual void ShowTransferMessage(std::string_view title, std::string_view text) = 0;
};

}  // namespace orv
