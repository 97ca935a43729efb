// The DHT engine: routing table, node lookups by UserId, keyword publishing
// and search, and the pairs kept for other nodes. It answers the network
// layer's reports (DhtNodeObserver) and DHT messages (DhtMessageConsumer),
// and sends through a PayloadSender (inner type 0). Its timed work is
// DhtPass, run once per second by its own thread when started, or called
// directly.
//
// Locks: the DHT lock guards everything here. It comes before the peer
// table lock (the engine sends and asks for presence while holding it) and
// before the store lock (NoteNode is called after it is released).
// NoteDhtNode and DropDhtNode only try it. Events go out without it.
// Callers must not hold the store lock when calling anything here except
// NoteDhtNode.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "dht/dht_messages.hpp"
#include "dht/dht_ports.hpp"
#include "dht/keywords.hpp"
#include "dht/routing_table.hpp"
#include "dht/shortlist.hpp"
#include "dht/stored_pairs.hpp"
#include "net/consumers.hpp"
#include "net/own_user_id.hpp"
#include "net/payload_sender.hpp"

namespace orv {

constexpr int kDhtPassMs = 1000;

struct DhtSetup {
  PeerRef own;                // own UserId and address
  std::u16string user_info;   // the user's name: its keywords are published
  PayloadSender* sender = nullptr;
  DhtNetwork* network = nullptr;
  DhtClock* clock = nullptr;
  DhtEvents* events = nullptr;  // may be null
};

// A routing-table node as the Kademlia list shows it.
struct DhtNodeView {
  int bucket = 0;
  DhtNode node;
};

struct DhtCounts {
  size_t nodes = 0;
  size_t candidates = 0;
  size_t stored_pairs = 0;
  bool bootstrap = false;
  bool lookup_running = false;
  uint32_t passes = 0;
};

class DhtEngine : public DhtNodeObserver, public DhtMessageConsumer {
 public:
  explicit DhtEngine(const DhtSetup& setup);
  ~DhtEngine() override;
  DhtEngine(const DhtEngine&) = delete;
  DhtEngine& operator=(const DhtEngine&) = delete;

  // The DhtThread: DhtPass every second until StopThread or destruction.
  void StartThread();
  void StopThread();

  // The contact store, told of every node heard live (may be null).
  void SetContactObserver(ContactObserver* store) { store_.store(store); }

  // From the network layer: a datagram arrived from `node` (live, the
  // contact store told too); a peer went. Only try the DHT lock.
  void NoteDhtNode(const PeerRef& node) override;
  void DropDhtNode(const PeerRef& node) override;
  // Inner type 0 from `sender`, on the receive thread without network locks.
  void HandleDhtMessage(const uint8_t* data, size_t length, const PeerRef& sender) override;

  // Adds or refreshes a node (live: heard from it directly; otherwise
  // named by someone, e.g. the network file). Never waits for the DHT
  // lock; `store` (may be null) is told after it is released.
  void NoteDhtNode(const PeerRef& node, bool live, ContactObserver* store);
  void DropDhtNode(const uint32_t* user_id);

  // Up to 20 nodes near `key` (see ClosestInTable); the count.
  size_t ClosestNodes(const uint32_t* key, PeerRef* out);

  // True with `out` filled when the user's node is in the routing table
  // (or it is us). Otherwise a lookup starts unless one of a user runs
  // already (a bootstrap's lookup gives way); false.
  bool LocateUser(const uint32_t* user_id, PeerRef* out);

  // Another key was loaded: the table is re-sorted by distance from the
  // new UserId (its nodes kept), the running lookup dropped, and the new
  // name's keywords published under the new UserId.
  void AdoptIdentity(const uint32_t* user_id, std::u16string_view user_info);

  // A contact's periodic check: pinged where the table has it, otherwise
  // looked up, noted at its last address and pinged there.
  void PingOrLocate(const PeerRef& contact);

  // Replaces the searches by those of the keywords of `name`.
  void SearchByName(std::u16string_view name);

  // The "Bootstrap" command's part: every pass sends find_node for the own
  // UserId to every node until the first DHT message arrives; a lookup of
  // the own UserId runs meanwhile.
  void RequestBootstrap();

  // One pass of the DhtThread: bucket upkeep, bootstrap, keyword slots,
  // the running lookup's silent queries, expired pairs.
  void DhtPass();

  // Views for the windows and tests, each taken under the DHT lock.
  std::vector<DhtNodeView> ListNodes();
  DhtCounts Counts();
  std::vector<KeywordSlot> PublishSlots();
  std::vector<KeywordSlot> SearchSlots();
  Lookup CurrentLookup();
  OwnUserId::Words OwnId() const { return own_id_.Get(); }

 private:
  struct Pending;  // what is done once the lock is released

  // All below: must hold lock_.
  // Sends and returns the target as sent: a node of unknown identity may
  // have learnt its UserId on the way.
  PeerRef Send(const PeerRef& target, const DhtMessage& message);
  void Respond(const uint8_t* data, size_t length, uint32_t type, const PeerRef& sender, Pending& pending);
  void HandleNodesReply(const PeerRef& sender, const PeerRef* entries, size_t count, Pending& pending);
  void NodesArrived(const uint8_t* data, size_t length, uint32_t type, const PeerRef& sender, Pending& pending);
  void NoteEntries(const PeerRef* entries, size_t count);
  void AnswerFindNode(const uint8_t* data, const PeerRef& sender);
  void AnswerFindValue(const uint8_t* data, const PeerRef& sender);
  void AnswerStoreValue(const uint8_t* data, const PeerRef& sender);
  void ValueFound(const uint8_t* data, Pending& pending);
  void SlotFound(KeywordSlot& slot, const uint32_t* value, Pending& pending);
  void OfferToSlots(const PeerRef* entries, size_t count);
  bool QueryNext();
  void QueryNextTimes(size_t n);
  void EndLookup(const PeerRef* found, Pending& pending);
  void CheckLookupEnd(Pending& pending);
  void LookupUpkeep(Pending& pending);
  void BootstrapBucket(size_t index);
  void OfferTable(KeywordSlot& slot);
  void StartSlot(KeywordSlot& slot);
  void StepSlot(KeywordSlot& slot, bool search);
  void StoreSlot(KeywordSlot& slot);
  void StepSlots();
  void EndBootstrap();

  void Fire(Pending& pending);  // without lock_
  void ThreadLoop(std::stop_token stop);

  // True for the own UserId and for one too close to tell apart; readable
  // without the DHT lock.
  bool IsOwn(const uint32_t* user_id) const { return BucketIndex(user_id, own_id_.Get().data()) < 0; }

  PeerRef own_;        // its UserId changes under lock_ (AdoptIdentity)
  OwnUserId own_id_;   // the same UserId, for readers without the lock
  PayloadSender& sender_;
  DhtNetwork& network_;
  DhtClock& clock_;
  DhtEvents* events_;
  std::atomic<ContactObserver*> store_{nullptr};

  std::mutex lock_;  // the DHT lock
  RoutingTable table_;
  Lookup lookup_;
  bool bootstrap_ = false;
  StoredPairs stored_;
  std::array<KeywordSlot, kKeywordSlots> publish_{};
  size_t publish_count_ = 0;
  std::array<KeywordSlot, kKeywordSlots> search_{};
  size_t search_count_ = 0;
  uint32_t passes_ = 0;

  std::jthread thread_;
};

}  // namespace orv
