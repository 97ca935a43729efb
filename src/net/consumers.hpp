// The engines above the network layer that it reports to and hands
// payloads to: the DHT engine, the contact store, the file transfer engine
// and the conversations (the chat window table). Each may be absent (null)
// and is then skipped. Their operations are named as those engines name
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "net/address_call.hpp"
#include "net/peer_ref.hpp"

namespace orv {

struct CallChannel;

// The DHT engine's view of live and gone nodes. Both are called with the
// peer table lock held: they may only try the DHT lock and give up when it
// is busy, and must not call back into the endpoint.
class DhtNodeObserver {
 public:
  virtual ~DhtNodeObserver() = default;
  // A datagram arrived from `node`: it is alive.
  virtual void NoteDhtNode(const PeerRef& node) = 0;
  // `node` no longer holds its address (a stale peer record went).
  virtual void DropDhtNode(const PeerRef& node) = 0;
};

// The contact store's view of peer addresses. Called with the peer table
// lock held (the table lock comes before the store lock); must not call
// back into the endpoint.
class ContactObserver {
 public:
  virtual ~ContactObserver() = default;
  // A peer's address changed (UpdatePeerAddress).
  virtual void NoteNode(const PeerRef& node) = 0;
  // A stale peer record went.
  virtual void ForgetNode(const PeerRef& node) = 0;
};

// Inner type 0: DHT messages. Called on the receive thread without network
// locks; may send (SendToPeer) and report addresses (UpdatePeerAddress).
class DhtMessageConsumer {
 public:
  virtual ~DhtMessageConsumer() = default;
  virtual void HandleDhtMessage(const uint8_t* data, size_t length, const PeerRef& sender) = 0;
};

// Inner type 2: file transfer messages. Called on the receive thread
// without network locks; the engine reads `AcceptFileTransfer` itself.
class TransferMessageConsumer {
 public:
  virtual ~TransferMessageConsumer() = default;
  virtual void HandleTransferMessage(const uint8_t* data, size_t length, const PeerRef& sender) = 0;
  // The peer ended its session ("ses_terminate": it is closing): its
  // transfers will hear nothing more. Called on the receive thread without
  // network locks.
  virtual void PeerSessionEnded(const PeerRef& /*peer*/) {}
};

// What a conversation lookup found.
struct ConversationMatch {
  bool found = false;    // an entry with a window matched
  bool adopted = false;  // it was opened by address and has just taken the sender's UserId
  // The entry's channel while its window exists and has conversation data;
  // the shared pointer keeps it alive while the receive thread uses it.
  std::shared_ptr<CallChannel> channel;
};

// Inner type 1: the chat window table and the main window's part in it.
// Called on the receive thread without network locks. Nothing here may wait
// for the interface thread while the interface thread waits for the
// network (post, or send with a time-out).
class ConversationTable {
 public:
  virtual ~ConversationTable() = default;
  // Under the chat table lock: walks the entries that have a window, in
  // order, and takes the first whose UserId equals the sender's or is all
  // zero (a window opened by address). Such an entry takes the sender's
  // UserId and its window is told to adopt that identity;
  // `adopted` says so.
  virtual ConversationMatch FindConversation(const PeerRef& sender) = 0;
  // Code 0 arrived: the connection request, for the main window.
  virtual void RequestConnection(const PeerRef& sender) = 0;
  // A message from a peer without a chat window: the main
  // window opens one when the peer is allowed. The message itself is lost.
  virtual void OpenConversation(const PeerRef& sender) = 0;
  // A call to an address ended (ConnectByAddress): the conversation opened
  // by that address shows how. Called on the retry thread without network
  // locks.
  virtual void ConnectEnded(const ConnectOutcome& /*outcome*/) {}
};

// The set the endpoint reports to. Any member may be null.
struct NetworkConsumers {
  DhtNodeObserver* dht_nodes = nullptr;
  ContactObserver* contacts = nullptr;
  DhtMessageConsumer* dht_messages = nullptr;
  TransferMessageConsumer* transfers = nullptr;
  ConversationTable* conversations = nullptr;
};

}  // namespace orv
