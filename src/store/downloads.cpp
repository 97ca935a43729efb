#include "store/downloads.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "identity/file_size_limit.hpp"
#include "identity/key_file.hpp"
#include "identity/secret_file.hpp"
#include "store/field_text.hpp"
#include "store/xml_file.hpp"

namespace orv {
namespace {

struct LoadedDownload {
  PeerRef sender;
  std::optional<std::string> path;
  std::optional<std::string> sender_name;
  FileTime time = 0;
};

std::optional<std::string> OptionalText(const pugi::xml_node& node, const char* name) {
  const pugi::xml_attribute a = node.attribute(name);
  if (!a) return std::nullopt;
  return std::string(a.value());
}

LoadedDownload ReadDownload(const pugi::xml_node& node) {
  LoadedDownload d;
  d.sender.ipv4 = ReadDottedIpv4(node.attribute("ip").value());
  d.sender.port = ReadPort(node.attribute("port").value());
  ReadUserIdText(node.attribute("id").value(), d.sender.user_id);
  d.path = OptionalText(node, "name");
  d.sender_name = OptionalText(node, "user");
  d.time = ReadTimeText(node.attribute("time").value()).value_or(0);
  return d;
}

void WriteDownload(pugi::xml_node& root, const DownloadRecord& d) {
  pugi::xml_node node = root.append_child("file");
  node.append_attribute("ip") = DottedIpv4Text(d.sender.ipv4).c_str();
  node.append_attribute("port") = static_cast<unsigned>(d.sender.port);
  node.append_attribute("id") = UserIdText(d.sender.user_id).c_str();
  if (d.path) node.append_attribute("name") = d.path->c_str();
  if (d.sender_name) node.append_attribute("user") = d.sender_name->c_str();
  node.append_attribute("time") = TimeText(d.time).c_str();
}

// The file's size; nothing when there is no file.
std::optional<uint64_t> FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

}  // namespace

void AddDownload(ContactStore& store, const PeerRef& sender, const std::optional<std::string>& path,
                 const std::optional<std::string>& sender_name, FileTime time) {
  DownloadRecord d{sender, path, sender_name, time};
  if (time == 0) d.time = store.clock();
  std::lock_guard guard(store.lock);
  if (time == 0)
    store.downloads.push_front(std::move(d));
  else
    store.downloads.push_back(std::move(d));
}

void RemoveDownload(ContactStore& store, size_t index) {
  std::lock_guard guard(store.lock);
  if (index < store.downloads.size()) store.downloads.erase(store.downloads.begin() + static_cast<ptrdiff_t>(index));
}

void RemoveAllDownloads(ContactStore& store) {
  std::lock_guard guard(store.lock);
  store.downloads.clear();
}

bool RemoveFirstDownload(ContactStore& store) {
  std::lock_guard guard(store.lock);
  if (store.downloads.empty()) return false;
  store.downloads.pop_front();
  return true;
}

bool SameDownload(const DownloadRecord& a, const DownloadRecord& b) {
  return SameUserId(a.sender.user_id, b.sender.user_id) && SameAddress(a.sender, b.sender) && a.path == b.path &&
         a.sender_name == b.sender_name && a.time == b.time;
}

bool RemoveDownloadRecord(ContactStore& store, const DownloadRecord& record) {
  std::lock_guard guard(store.lock);
  for (auto it = store.downloads.begin(); it != store.downloads.end(); ++it) {
    if (!SameDownload(*it, record)) continue;
    store.downloads.erase(it);
    return true;
  }
  return false;
}

bool LoadDownloads(ContactStore& store, const std::string& path, const KeyRecord& record, const uint8_t* password,
                   size_t length) {
  if (!record.loaded || length == 0) return false;
  const std::optional<uint64_t> size = FileSize(path);
  if (size && *size > kMaxProfileFileBytes) {
    NoteUnreadableFile(store, path, OversizedFileReason(*size));
    return false;
  }
  pugi::xml_document doc;
  const bool parsed = LoadEncryptedXml(path, doc, record, password, length);
  const pugi::xml_node root = doc.child("downloads");
  if (!parsed || !root) {
    // Written under another key, damaged, or not ours: kept, not overwritten.
    if (size && *size > 0) NoteUnreadableFile(store, path, "not a downloads record of this key, or damaged");
    return false;
  }
  std::vector<LoadedDownload> read;
  for (const pugi::xml_node& node : root.children("file")) read.push_back(ReadDownload(node));
  for (const LoadedDownload& d : read) AddDownload(store, d.sender, d.path, d.sender_name, d.time);
  return true;
}

SaveOutcome SaveDownloads(ContactStore& store, const std::string& path, const KeyRecord& record,
                          const uint8_t* password, size_t length) {
  if (!record.loaded || length == 0) return SaveOutcome::Failed("no key or no password");
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("downloads");
  {
    std::lock_guard guard(store.lock);
    for (const DownloadRecord& d : store.downloads) WriteDownload(root, d);
  }
  errno = 0;
  if (!KeepUnreadableFileAside(store, path)) return SaveOutcome::Failed("the unreadable file could not be kept aside");
  if (!SaveEncryptedXml(path, doc, record, password, length))
    return errno != 0 ? SaveOutcome::FromError(errno) : SaveOutcome::Failed("wrong password");
  // The record reveals whom the user talks to: owner only.
  ::chmod(path.c_str(), 0600);
  return SaveOutcome::Done();
}

}  // namespace orv
