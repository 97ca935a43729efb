// What the network layer needs from the application around it: the event
// log and packet trace, message boxes, the password and the user's key.
// The application implements it (forwarding to its log, UI port and
// password service); tests implement it with a recording fake. Every call
// may come from any network thread (receive, retry, handshake workers).
// Only the trace calls are made while network locks are held (the log's
// lock is innermost); the others never are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "crypto/key_protection.hpp"
#include "identity/password_bytes.hpp"
#include "net/address_call.hpp"

namespace orv {

// Direction of a traced datagram or payload: "TX" or "RX".
enum class PacketDirection { kSent, kReceived };

class NetworkHost {
 public:
  virtual ~NetworkHost() = default;

  // One event line; the network uses the source "Network".
  virtual void LogEvent(std::string_view source, std::string_view text) = 0;

  // True while the log file is open; the trace lines below go only there.
  virtual bool LogFileOpen() = 0;

  // One packet trace line: the peer's address (host order), its UserId
  // (eight words), the datagram type (bits 0-7 of the type word), the size.
  virtual void TracePacket(PacketDirection direction, uint32_t ipv4, uint16_t port, const uint32_t* user_id,
                           uint32_t type, int32_t size) = 0;

  // One data trace line with two 32-bit words.
  virtual void TraceData(PacketDirection direction, const uint32_t* words) = 0;

  // A line written as it stands into the log file (the address updates).
  virtual void TraceAddressUpdate(std::string_view text) = 0;

  // A message box with the error icon and an OK button. The network shows
  // "Can't create socket" and "Can't bind socket to local port" (title
  // "Error") from the thread that opens the endpoint, and the identity
  // warning (title "Warning") from a thread of its own, so that no network
  // thread waits for the person. The endpoint waits for those threads when
  // it closes: at shutdown the box must be dismissed or return by itself.
  virtual void ShowMessage(std::string_view title, std::string_view text) = 0;

  // The user's password, from the cache or by asking (may block on the
  // prompt); false when none was given (an old key's password may be
  // empty and given). Called from the thread that opens or restarts the
  // network and from handshake workers.
  virtual bool GetPassword(PasswordBytes& password) = 0;

  // Copies the user's key record into `out`, taken whole under the
  // application's own lock, so that a password change never meets a
  // handshake half way; `loaded` tells whether a key is there.
  virtual void CopyKey(KeyRecord& out) = 0;

  // A user was found by name (the main window locates and selects it):
  // its UserId, eight words. Called without any network lock.
  virtual void UserFound(const uint32_t* user_id) = 0;

  // A call to an address (ConnectByAddress) ended: a session stands with
  // whoever answered there, or the reason why not. Called without any
  // network lock.
  virtual void ConnectEnded(const ConnectOutcome& /*outcome*/) {}
};

// The user's key record for as long as this lives; wiped when it goes.
class HostKey {
 public:
  explicit HostKey(NetworkHost& host) { host.CopyKey(record_); }
  ~HostKey() { WipeKeyRecord(record_); }
  HostKey(const HostKey&) = delete;
  HostKey& operator=(const HostKey&) = delete;
  const KeyRecord& record() const { return record_; }

 private:
  KeyRecord record_;
};

}  // namespace orv
