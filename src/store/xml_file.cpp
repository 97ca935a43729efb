#include "store/xml_file.hpp"

#include <sys/stat.h>

#include <cstdio>

#include "identity/replace_file.hpp"

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

}  // namespace

XmlLoad LoadXmlFile(const std::string& path, pugi::xml_document& doc) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || st.st_size == 0) return XmlLoad::kMissing;
  return doc.load_file(path.c_str()) ? XmlLoad::kLoaded : XmlLoad::kUnreadable;
}

std::string XmlDocumentText(const pugi::xml_document& doc, const char* indent, pugi::xml_encoding encoding) {
  std::string text;
  StringWriter writer(text);
  doc.save(writer, indent, pugi::format_default, encoding);
  return text;
}

void NoteUnreadableFile(ContactStore& store, const std::string& path) {
  std::lock_guard guard(store.lock);
  store.unreadable_files.insert(path);
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

bool ReplaceStoreFile(ContactStore& store, const std::string& path, const std::string& text) {
  if (!KeepUnreadableFileAside(store, path)) return false;
  return ReplaceFileContent(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0600) ==
         ReplaceResult::kDone;
}

}  // namespace orv
