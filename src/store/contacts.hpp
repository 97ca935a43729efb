// The contact list: the user's favourites with their names and their
// authorization, kept in the contacts file (root "likes", one "node" per
// contact) beside its signature file "<path>.sig".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "crypto/certificate.hpp"
#include "store/contact_store.hpp"
#include "store/save_outcome.hpp"

namespace orv {

inline constexpr char kWrongSignatureWarning[] = "Wrong user list signature. All authorizations will be ignored";
inline constexpr char kCannotSignWarning[] = "Can't create signature for user list";

// Reads the contacts file and appends every contact whose UserId is not yet
// in the list. False (and nothing loaded) for a missing file, a parse error,
// a file beyond kMaxProfileFileBytes or a document without a top-level
// "likes"; a file that is there but cannot be read is logged with the
// reason and kept aside as "<path>.bad" at the next save.
bool LoadContacts(ContactStore& store, const std::string& path);

// Writes the contact list to the file, replacing it whole. On failure
// nothing was written (the old file stays as it was) and the outcome says
// why. A file written here may be signed (ContactsFileState::kTrusted).
SaveOutcome SaveContacts(ContactStore& store, const std::string& path);

// The start-up load: LoadContacts, then, when it read the file, the check of
// its signature against the user's own certificate. A signature that does
// not verify (or is missing) clears every authorization for this run and
// gives the warning text for the caller to show; the file stays as it is
// but is never signed so (see ContactsFileState): at the next save or at
// shutdown it is written anew from the list, without the authorizations.
struct ContactsStartup {
  bool loaded = false;
  bool signature_valid = false;
  std::optional<std::string> warning;  // kWrongSignatureWarning, to be shown with the title "Warning"
};
ContactsStartup LoadContactsAtStartup(ContactStore& store, const std::string& path, const Certificate& own);

// Whether the contacts file may be signed as it stands on the disk.
bool ContactsFileMayBeSigned(ContactStore& store);
// Whether the file read at start-up was rejected and not yet written anew.
bool ContactsFileRejected(ContactStore& store);

// Sets every contact's authorization to 0 (in memory only).
void ClearAuthorizations(ContactStore& store);

// The contact commands. Each edits the list under the store lock; saving
// and signing afterwards are the caller's.
enum class AddContactResult { kAdded, kPresent };
// A new contact starts unauthorized; its name and original name are both
// the name the peer announces.
AddContactResult AddContact(ContactStore& store, const PeerRef& peer, const std::optional<std::string>& name);
// Sets the authorized flag; false when no contact has the UserId.
bool SetContactAuthorized(ContactStore& store, const uint32_t* user_id, bool authorized);
bool RenameContact(ContactStore& store, const uint32_t* user_id, const std::string& name);
bool RemoveContact(ContactStore& store, const uint32_t* user_id);

// Lookups for the engines' policies (AllowAnyone, AcceptFileTransfer).
bool IsContact(ContactStore& store, const uint32_t* user_id);
bool IsAuthorizedContact(ContactStore& store, const uint32_t* user_id);
std::optional<ContactRecord> FindContact(ContactStore& store, const uint32_t* user_id);

}  // namespace orv
