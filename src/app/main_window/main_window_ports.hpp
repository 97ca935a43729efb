// What the main window's controller needs from the engines around it, each
// as a small interface: the running node hands it adapters over the
// endpoint, the DHT engine, the conversations and the file transfer engine;
// tests hand it recording fakes. Every call comes from the interface thread
// with no lock of the controller or the contact store held.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/peer_ref.hpp"

namespace orv {

// A peer as the peer table knows it, copied out under the peer table lock.
struct PeerLook {
  PeerRef ref;             // its UserId and last known address
  bool connected = false;  // a session is up
  bool away = false;       // the away bit of its last datagram
};

// The peer table's queries and the endpoint's away flag.
class PeerDirectory {
 public:
  virtual ~PeerDirectory() = default;
  // The peer of that UserId, taken in one short hold of the peer table
  // lock; nothing when the table does not know it.
  virtual std::optional<PeerLook> LookUpPeer(const uint32_t* user_id) = 0;
  // GetPeerName as UTF-8: "<unknown>" when the table does not know it.
  virtual std::string PeerName(const uint32_t* user_id) = 0;
  // GetPeerPresence: 0 unknown or not connected, 1 online, 2 away.
  virtual int PeerPresence(const uint32_t* user_id) = 0;
  // The away bit of every datagram sent from now on.
  virtual void SetAway(bool away) = 0;
};

// The DHT engine's part.
class ContactLocator {
 public:
  virtual ~ContactLocator() = default;
  // Pings a contact that has a session, else looks it up and pings its last
  // known address.
  virtual void PingOrLocate(const PeerRef& contact) = 0;
  // Starts (or answers from the routing table) a lookup of the UserId.
  virtual void LocateUser(const uint32_t* user_id) = 0;
};

// The conversations' part.
class ConversationControl {
 public:
  virtual ~ConversationControl() = default;
  // Opens or brings forward the conversation with the peer (an all-zero
  // UserId opens one by address), refusing peers that are not allowed.
  virtual void OpenChat(const PeerRef& peer) = 0;
  // True while any conversation's call is "IN VOICE".
  virtual bool AnyCallInVoice() = 0;
};

// The file transfer engine's part.
class FileTransferStarter {
 public:
  virtual ~FileTransferStarter() = default;
  // Starts sending the file; why it could not ("File is empty", "Can't
  // open file for transfer"), empty when it started.
  virtual std::string StartFileTransfer(const PeerRef& peer, const std::string& path) = 0;
};

// Milliseconds since the person's last input to the session.
class IdleTimeSource {
 public:
  virtual ~IdleTimeSource() = default;
  virtual uint64_t IdleMilliseconds() = 0;
};

// The user's own identity as "&My information" shows it.
struct OwnIdentity {
  bool loaded = false;                   // a key is loaded
  uint32_t user_id[kUserIdWords] = {};   // the own UserId
  std::string name;                      // the user info of the own certificate (UTF-8)
  uint32_t external_ipv4 = 0x7F000001;   // found by the port mapping; 127.0.0.1 until then
};

class OwnIdentitySource {
 public:
  virtual ~OwnIdentitySource() = default;
  virtual OwnIdentity Own() = 0;
};

// Signs the contacts file with the user's key (asking for the password when
// none is held); false when no signature was written. Called from the
// signing threads and at shutdown.
class ContactsSigner {
 public:
  virtual ~ContactsSigner() = default;
  virtual bool SignContactsFile(const std::string& path) = 0;
};

}  // namespace orv
