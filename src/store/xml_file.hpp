// Reading and writing the store's plain XML files (network and contacts
// files): UTF-8 with the version 1.0 declaration, one element per line, one
// tab of indentation per level. Saves replace the file whole (temporary file
// and rename) with owner-only permissions. A file that existed but could
// not be read is logged with the reason and kept aside under another name
// before the first save replaces it.
#pragma once

#include <pugixml.hpp>

#include <string>

#include "store/contact_store.hpp"
#include "store/save_outcome.hpp"

namespace orv {

enum class XmlLoad {
  kLoaded,      // parsed
  kMissing,     // no file, or an empty one
  kUnreadable,  // a file that does not parse, or one beyond kMaxProfileFileBytes
};

// `reason` (when given) says why a file is kUnreadable.
XmlLoad LoadXmlFile(const std::string& path, pugi::xml_document& doc, std::string* reason = nullptr);

// The document as text, in the given encoding.
std::string XmlDocumentText(const pugi::xml_document& doc, const char* indent,
                            pugi::xml_encoding encoding = pugi::encoding_utf8);

// Remembers that the file at `path` held something this program could not
// read (taken under the store lock), and logs it with `reason`.
void NoteUnreadableFile(ContactStore& store, const std::string& path, const std::string& reason);

// When `path` was noted unreadable: renames it to the first free name of
// "<path>.bad", "<path>.bad.1", ... and logs where it went. False when it
// could not be moved (the caller then must not replace it).
bool KeepUnreadableFileAside(ContactStore& store, const std::string& path);

// Keeps an unreadable file aside, then replaces the file with `text`
// (mode 0600) through the store's file writer.
SaveOutcome ReplaceStoreFile(ContactStore& store, const std::string& path, const std::string& text);

}  // namespace orv
