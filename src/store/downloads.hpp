// The downloads record: every file received from another user, newest
// first, kept between runs in the downloads file, an encrypted XML document
// (root "downloads", one "file" per record) that only the owner of the key
// can read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "crypto/key_protection.hpp"
#include "store/contact_store.hpp"
#include "store/save_outcome.hpp"

namespace orv {

// Adds a record: with time 0 the current time, at the head of the list (a
// transfer that has just finished); with a given time at the tail (records
// loaded from the file keep its order).
void AddDownload(ContactStore& store, const PeerRef& sender, const std::optional<std::string>& path,
                 const std::optional<std::string>& sender_name, FileTime time);

// Removes the record at position `index` (0 = head) when the list is that
// long; the received file itself is not touched.
void RemoveDownload(ContactStore& store, size_t index);

// Removes every record ("Delete All").
void RemoveAllDownloads(ContactStore& store);

// Removes the head record; false when the list was empty.
bool RemoveFirstDownload(ContactStore& store);

// True when both name the same reception: sender, path, name and time.
bool SameDownload(const DownloadRecord& a, const DownloadRecord& b);

// Removes the first record that is the same as `record` (one a window
// showed), wherever new receptions have moved it; false when it is gone.
bool RemoveDownloadRecord(ContactStore& store, const DownloadRecord& record);

// Reads the downloads file with the user's key and password and adds its
// records in file order. False (nothing loaded) without a key or password,
// for a missing file, a wrong key, a document that does not parse or a file
// beyond kMaxProfileFileBytes (not read at all); a file that exists but
// cannot be read is logged and kept aside before the next save.
bool LoadDownloads(ContactStore& store, const std::string& path, const KeyRecord& record, const uint8_t* password,
                   size_t length);

// Writes the download list under a fresh salt, replacing the file whole
// (mode 0600). Without a key or a password the file stays as it was. On
// failure the outcome says why.
SaveOutcome SaveDownloads(ContactStore& store, const std::string& path, const KeyRecord& record, const uint8_t* password,
                   size_t length);

}  // namespace orv
