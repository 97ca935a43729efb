// Starting the telephone when the user logs in: an XDG autostart entry,
// <config home>/autostart/orv.desktop, written when `Autostart` is on and
// removed when it is off.
#pragma once

#include <string>

#include "settings/profile_paths.hpp"

namespace orv {

struct AutostartEntry {
  std::string config_home;  // the entry goes to config_home + "/autostart/orv.desktop"
  std::string program;      // absolute path of the program to start
  std::string profile_dir;  // given to the program as --profile when not empty
};

// The entry for this process: the config home of `env`, the program's own
// path, and the profile directory when one was chosen with --profile.
AutostartEntry ProcessAutostartEntry(const ProfileEnvironment& env, const ProfilePaths& paths);

std::string AutostartEntryPath(const AutostartEntry& entry);

// The text of the desktop entry.
std::string AutostartDesktopText(const AutostartEntry& entry);

// Writes (on) or removes (off) the entry. Returns false when that could not
// be done; the callers go on without reporting it. An entry without a
// config home (a program that keeps none) changes nothing.
bool SetAutostart(const AutostartEntry& entry, bool on);

}  // namespace orv
