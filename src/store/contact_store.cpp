#include "store/contact_store.hpp"

#include <algorithm>
#include <cerrno>

#include "identity/replace_file.hpp"

namespace orv {
namespace {

bool Matches(const NodeRecord& entry, const NodeRecord& n) {
  return SameUserId(entry.node.user_id, n.node.user_id) || SameAddress(entry.node, n.node);
}

void TakeNewer(NodeRecord& entry, NodeRecord& n) {
  if (IsZeroUserId(entry.node.user_id)) CopyUserId(entry.node.user_id, n.node.user_id);
  if (entry.last_heard >= n.last_heard) return;
  entry.node.ipv4 = n.node.ipv4;
  entry.node.port = n.node.port;
  entry.last_heard = n.last_heard;
  if (!entry.host && n.host) entry.host = std::move(n.host);
}

}  // namespace

int ReplaceStoreFileContent(const std::string& path, std::string_view text) {
  errno = 0;
  const ReplaceResult result =
      ReplaceFileContent(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0600);
  if (result == ReplaceResult::kDone) return 0;
  return errno != 0 ? errno : EIO;
}

void ContactStore::NoteNode(const PeerRef& node) { orv::NoteNode(*this, node); }

void ContactStore::ForgetNode(const PeerRef& node) { orv::ForgetNode(*this, node); }

void NoteNode(ContactStore& store, const PeerRef& node) {
  NodeRecord n;
  n.node = node;
  n.last_heard = store.clock();
  std::lock_guard guard(store.lock);
  MergeNode(store, std::move(n));
  // A node heard by address only names no contact.
  if (IsZeroUserId(node.user_id)) return;
  for (ContactRecord& c : store.contacts) {
    if (!SameUserId(c.peer.user_id, node.user_id)) continue;
    c.peer.ipv4 = node.ipv4;
    c.peer.port = node.port;
    break;
  }
}

void MergeNode(ContactStore& store, NodeRecord n) {
  if (!IsZeroUserId(n.node.user_id)) {
    auto match = std::find_if(store.nodes.begin(), store.nodes.end(),
                              [&](const NodeRecord& entry) { return Matches(entry, n); });
    if (match != store.nodes.end()) {
      TakeNewer(*match, n);
      return;
    }
  }
  store.nodes.push_back(std::move(n));
}

void ForgetNode(ContactStore& store, const PeerRef& node) {
  const bool by_address = IsZeroUserId(node.user_id);
  std::lock_guard guard(store.lock);
  auto gone = std::find_if(store.nodes.begin(), store.nodes.end(), [&](const NodeRecord& entry) {
    if (!SameUserId(entry.node.user_id, node.user_id)) return false;
    return !by_address || SameAddress(entry.node, node);
  });
  if (gone != store.nodes.end()) store.nodes.erase(gone);
}

std::vector<NodeRecord> ListNodes(ContactStore& store) {
  std::lock_guard guard(store.lock);
  return store.nodes;
}

std::vector<ContactRecord> ListContacts(ContactStore& store) {
  std::lock_guard guard(store.lock);
  return store.contacts;
}

std::vector<DownloadRecord> ListDownloads(ContactStore& store) {
  std::lock_guard guard(store.lock);
  return {store.downloads.begin(), store.downloads.end()};
}

void FreeContactStore(ContactStore& store) {
  std::lock_guard guard(store.lock);
  store.nodes.clear();
  store.contacts.clear();
  store.downloads.clear();
}

}  // namespace orv
