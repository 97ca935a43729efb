#include "store/xml_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "identity/file_size_limit.hpp"

namespace orv {
namespace {

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override { out_.append(static_cast<const char*>(data), size); }

 private:
  std::string& out_;
};

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

constexpr int kMaxAsideNames = 100;

void SetReason(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
}

}  // namespace

XmlLoad LoadXmlFile(const std::string& path, pugi::xml_document& doc, std::string* reason) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || st.st_size == 0) return XmlLoad::kMissing;
  if (static_cast<uint64_t>(st.st_size) > kMaxProfileFileBytes) {
    SetReason(reason, OversizedFileReason(static_cast<uint64_t>(st.st_size)));
    return XmlLoad::kUnreadable;
  }
  const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
  if (parsed) return XmlLoad::kLoaded;
  SetReason(reason, std::string(parsed.description()) + " at byte " + std::to_string(parsed.offset));
  return XmlLoad::kUnreadable;
}

std::string XmlDocumentText(const pugi::xml_document& doc, const char* indent, pugi::xml_encoding encoding) {
  std::string text;
  StringWriter writer(text);
  doc.save(writer, indent, pugi::format_default, encoding);
  return text;
}

void NoteUnreadableFile(ContactStore& store, const std::string& path, const std::string& reason) {
  {
    std::lock_guard guard(store.lock);
    store.unreadable_files.insert(path);
  }
  if (store.log) store.log("Main", "Can't read " + path + ": " + reason + "; it is kept aside at the next save");
}

bool KeepUnreadableFileAside(ContactStore& store, const std::string& path) {
  {
    std::lock_guard guard(store.lock);
    if (store.unreadable_files.count(path) == 0) return true;
  }
  bool kept = !Exists(path);
  for (int i = 0; i < kMaxAsideNames && !kept; ++i) {
    std::string aside = path;
    aside += ".bad";
    if (i > 0) {
      aside += '.';
      aside += std::to_string(i);
    }
    if (Exists(aside)) continue;
    if (std::rename(path.c_str(), aside.c_str()) != 0) break;
    if (store.log) store.log("Main", "Unreadable file " + path + " kept as " + aside);
    kept = true;
  }
  if (!kept) return false;
  std::lock_guard guard(store.lock);
  store.unreadable_files.erase(path);
  return true;
}

SaveOutcome ReplaceStoreFile(ContactStore& store, const std::string& path, const std::string& text) {
  errno = 0;
  if (!KeepUnreadableFileAside(store, path)) {
    const int error = errno;
    return SaveOutcome::Failed("the unreadable file could not be kept aside" +
                               (error != 0 ? ": " + std::string(std::strerror(error)) : std::string()));
  }
  return SaveOutcome::FromError(store.write_file(path, text));
}

}  // namespace orv
