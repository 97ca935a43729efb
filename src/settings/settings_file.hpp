// Reading and saving the settings file "orv.set" in the profile directory.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "settings/file_replace.hpp"
#include "identity/password_bytes.hpp"
#include "settings/profile_paths.hpp"
#include "settings/settings.hpp"

namespace orv {

// A real settings file is about a kilobyte. A larger one than this is read
// only up to here, and is kept aside as "orv.set.bak" before a save.
constexpr size_t kMaxSettingsFileBytes = 256 * 1024;

struct SettingsRead {
  Settings settings;
  FileReadState state = FileReadState::kMissing;
  // The password remembered in `Pass` (read only when `Remember` is set),
  // empty when none. When one was read, `settings.Time` is 0: a remembered
  // password is never forgotten by the countdown.
  PasswordBytes remembered;
  // What could not be read and was left at its default, one text per line
  // or key ("line 4 dropped: ...", "[Network] LocalPort: ..."), for the
  // log. Empty for a sound file.
  std::vector<std::string> problems;
};

// The name a damaged settings file is kept under by SaveSettings.
constexpr const char* kDamagedSettingsSuffix = ".bad";

// Every key from the file, or its default when the key is missing or its
// value does not fit (see SettingKind). A missing, unreadable, oversized or
// garbled file never fails the read: what cannot be read is a default, and
// is named in `problems`.
SettingsRead ReadSettings(const ProfilePaths& paths);

// Gives the password to remember; false when none is available. Called by
// SaveSettings only when `Remember` is set.
using PasswordSupplier = std::function<bool(PasswordBytes& out)>;

// Writes every key into the settings file, keeping whatever else the file
// holds, and replaces the file only once the new one is complete (readable
// by the user alone: it may hold the remembered password). `Pass` is empty
// unless `Remember` is set and `password` supplies one. Returns false when
// the file could not be written; the old file then stays as it was. A file
// that exists but cannot be read is not replaced either. A damaged file (one
// whose reading had problems) is first kept whole as "orv.set.bad" (0600),
// and the lines that could not be read are left out of the new one.
bool SaveSettings(const Settings& settings, const ProfilePaths& paths, const PasswordSupplier& password);

}  // namespace orv
