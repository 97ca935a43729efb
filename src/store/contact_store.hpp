// The one in-memory store of the people and machines the user knows about:
// the node list (every node heard, with the time it was last heard), the
// contact list (favourites with their names and authorization) and the
// download list (received files), all under one store lock.
//
// Lock order: the DHT lock, then the peer table lock, then the store lock.
// Nothing outside the store is called while the store lock is held.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "net/consumers.hpp"
#include "net/peer_ref.hpp"
#include "store/file_time.hpp"

namespace orv {

struct NodeRecord {
  PeerRef node;                     // UserId all zero while the node's identity is unknown
  FileTime last_heard = 0;
  std::optional<std::string> host;  // host name, only for entries loaded with a "url"
};

struct ContactRecord {
  PeerRef peer;
  std::optional<std::string> name;           // the name the user keeps the contact under
  std::optional<std::string> original_name;  // the name the contact announced when added
  bool authorized = false;                   // file attribute "trust"
};

struct DownloadRecord {
  PeerRef sender;
  std::optional<std::string> path;         // where the received file was stored
  std::optional<std::string> sender_name;  // the name the sender announced
  FileTime time = 0;                       // when the transfer finished
};

// Writes `text` as the whole new content of the file at `path` (0600),
// replacing it only once complete: 0, or the error number that stopped it.
// The store's files are written through this, so tests can make a disk
// full or read-only.
using StoreFileWriter = std::function<int(const std::string& path, std::string_view text)>;
int ReplaceStoreFileContent(const std::string& path, std::string_view text);

// What may be done with the contacts file on the disk. Only a file that
// verified, or that this program wrote, is ever signed: signing a file
// whose signature failed would make its hand-made authorizations genuine.
enum class ContactsFileState {
  kNotRead,   // none was read at start-up, and none written since
  kTrusted,   // its signature verified at start-up, or this run saved it
  kRejected,  // its signature failed, or it could not be read: never signed as it is
};

// The store record. Every list and record is guarded by `lock`; code that
// reads the lists directly holds it (or uses the List* copies below).
// Texts are UTF-8.
// Where the store's events go: (source, text), as the event log takes them.
using StoreLogFunction = std::function<void(std::string_view source, std::string_view text)>;

struct ContactStore final : public ContactObserver {
  explicit ContactStore(FileTimeClock now = SystemFileTime, StoreLogFunction log_to = {})
      : clock(std::move(now)), log(std::move(log_to)) {}
  ContactStore(const ContactStore&) = delete;
  ContactStore& operator=(const ContactStore&) = delete;

  // A peer's address changed: the network layer calls this with its peer
  // table lock held; the store lock is taken after it.
  void NoteNode(const PeerRef& node) override;
  // A stale peer record went.
  void ForgetNode(const PeerRef& node) override;

  std::mutex lock;
  std::vector<NodeRecord> nodes;          // in the order heard
  std::vector<ContactRecord> contacts;    // file order, new contacts at the tail
  std::deque<DownloadRecord> downloads;   // newest first
  FileTimeClock clock;
  StoreLogFunction log;  // may be empty: nothing is logged
  // Files that existed but could not be read at load: kept aside under
  // another name before the next save replaces them, so nothing stored is
  // lost.
  std::set<std::string> unreadable_files;
  ContactsFileState contacts_file = ContactsFileState::kNotRead;
  StoreFileWriter write_file = ReplaceStoreFileContent;
};

// A node was just heard: merged into the node list with the current time,
// and a contact with its UserId takes its address.
void NoteNode(ContactStore& store, const PeerRef& node);

// Must hold store.lock. Links `n` into the node list or merges it into the
// first entry that matches (same non-zero UserId, or same address and port
// when n carries a UserId); an entry takes the newer address and time.
void MergeNode(ContactStore& store, NodeRecord n);

// Unlinks the first node whose UserId equals `user_id`. An all-zero UserId
// names a node by address: then the first address-only entry with that
// address and port goes.
void ForgetNode(ContactStore& store, const PeerRef& node);

// Copies of the lists, taken under the store lock.
std::vector<NodeRecord> ListNodes(ContactStore& store);
std::vector<ContactRecord> ListContacts(ContactStore& store);
std::vector<DownloadRecord> ListDownloads(ContactStore& store);

// Empties the three lists.
void FreeContactStore(ContactStore& store);

}  // namespace orv
